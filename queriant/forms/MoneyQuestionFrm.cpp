// SPDX-License-Identifier: MIT
#include "MoneyQuestionFrm.h"

#include "DesignLayout.h"
#include "ResourceStrings.h"

TMoneyQuestionForm::TMoneyQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::Money, TJawsScreen::Money) {
    setObjectName(QStringLiteral("MoneyQuestionForm"));
    Layout().Place(AnswerEdit, QRect(70, 152, 121, 21));
    Layout().Place(AnswerEditB, QRect(70, 176, 121, 21));
    AnswerEdit->setText(QStringLiteral("0"));
    AnswerEditB->setText(QStringLiteral("0"));
    for (TAnswerEdit *edit : {AnswerEdit, AnswerEditB}) {
        edit->KeyFilter = [this, edit](QKeyEvent *e) { return FilterDecimalKey(e, edit); };
        connect(edit, &TAnswerEdit::focused, this,
                [this, edit] { WriteControl(edit->objectName()); });
    }
}

QString TMoneyQuestionForm::DataTypeError() const {
    return LoadResString(Res::Ex_DataTypeMustBeMoney);
}

bool TMoneyQuestionForm::ValidateAnswers() {
    return ValidateDecimal(false);
}

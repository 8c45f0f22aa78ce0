// SPDX-License-Identifier: MIT
#include "FloatQuestionFrm.h"

#include "DesignLayout.h"

TFloatQuestionForm::TFloatQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::Float, TJawsScreen::Float) {
    setObjectName(QStringLiteral("FloatQuestionForm"));
    Layout().Place(AnswerEdit, QRect(70, 152, 121, 21));
    Layout().Place(AnswerEditB, QRect(70, 176, 121, 21));
    AnswerEdit->setText(QStringLiteral("0"));
    AnswerEditB->setText(QStringLiteral("0"));
    for (TAnswerEdit *edit : {AnswerEdit, AnswerEditB}) {
        edit->KeyFilter = [this, edit](QKeyEvent *e) { return FilterDecimalKey(e, edit); };
        connect(edit, &TAnswerEdit::focused, this,
                [this, edit] { WriteControl(edit->objectName()); });
    }
    m_edited = false;
}

QString TFloatQuestionForm::DataTypeError() const {
    // This one failure is not translated.
    return QStringLiteral("Question datatype must be a dtFloat type");
}

bool TFloatQuestionForm::ValidateAnswers() {
    return ValidateDecimal(true);
}

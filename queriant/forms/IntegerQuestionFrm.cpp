// SPDX-License-Identifier: MIT
#include "IntegerQuestionFrm.h"

#include "DesignLayout.h"
#include "FormMessages.h"
#include "NumberEntry.h"
#include "ResourceStrings.h"

#include <QKeyEvent>
#include <QPushButton>

TIntegerQuestionForm::TIntegerQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::Integer, TJawsScreen::Integer) {
    setObjectName(QStringLiteral("IntegerQuestionForm"));
    Layout().Place(AnswerEdit, QRect(70, 152, 121, 21));
    Layout().Place(AnswerEditB, QRect(70, 176, 121, 21));
    // The confirm edit comes first in the tab order.
    setTabOrder(CancelBtn, AnswerEditB);
    setTabOrder(AnswerEditB, AnswerEdit);
    AnswerEdit->KeyFilter = [this](QKeyEvent *e) { return filterKey(e); };
    connect(AnswerEdit, &TAnswerEdit::focused, this,
            [this] { WriteControl(QStringLiteral("AnswerEdit")); });
}

QString TIntegerQuestionForm::DataTypeError() const {
    return LoadResString(Res::Ex_DataTypeMustBeInteger);
}

bool TIntegerQuestionForm::filterKey(QKeyEvent *event) {
    const QChar key = NumberKeyChar(TypedChar(event), QLocale());
    if (!key.isNull() && !IntegerKeyAccepted(key, QLocale()))
        return true;
    return InsertNumberKey(event, AnswerEdit, key) || HandleEnter(event, AnswerEdit);
}

bool TIntegerQuestionForm::ValidateAnswers() {
    bool result = TEntryQuestionForm::ValidateAnswers();
    const TQuestion &question = *Question();
    const QString text = AnswerEdit->text();
    const auto fail = [&](const QString &message) {
        SetErrorText(message);
        result = false;
    };
    if (question.Mandatory && text.trimmed().isEmpty()) {
        fail(LoadResString(Res::SValidation_Mandatory));
    } else if (const auto value = ParseInteger(text, QLocale()); !value) {
        if (question.Mandatory || !text.isEmpty())
            fail(LoadResString(Res::SValidation_NotInteger));
    } else {
        StorePlainNumber(PlainDecimalText(text, QLocale()).value_or(text));
        if (question.ValidateMin != 0 || question.ValidateMax != 0) {
            if (*value < question.ValidateMin)
                fail(MessageWithArgument(
                    Res::SValidation_Minimum,
                    QString::number(qint64(RoundHalfEven(question.ValidateMin, 0)))));
            else if (*value > question.ValidateMax)
                fail(MessageWithArgument(
                    Res::SValidation_Maximum,
                    QString::number(qint64(RoundHalfEven(question.ValidateMax, 0)))));
        }
        if (question.Confirm && AnswerEdit->text() != AnswerEditB->text())
            fail(LoadResString(Res::SValidation_Confirm));
    }
    UpdateScreenReader();
    return result;
}

// SPDX-License-Identifier: MIT
#include "PhoneQuestionFrm.h"

#include "DesignLayout.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"

#include <QFontMetrics>
#include <QKeyEvent>

TPhoneQuestionForm::TPhoneQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::PhoneNumber, std::nullopt) {
    setObjectName(QStringLiteral("PhoneQuestionForm"));
    m_clearErrorOnChange = true;
    m_confirmChangeIsActivity = false;
    m_storeWhileLoading = true;
    Layout().Place(AnswerEdit, QRect(70, 152, 193, 21));
    Layout().Place(AnswerEditB, QRect(70, 176, 193, 21));
    AnswerEditB->KeyFilter = [this](QKeyEvent *e) {
        if (QuestionManager())
            QuestionManager()->NotifyActivity();
        return HandleEnter(e, AnswerEditB);
    };
}

QString TPhoneQuestionForm::DataTypeError() const {
    return LoadResString(Res::Ex_DataTypeMustBePhone);
}

// A phone number is shown as stored, not masked.
QString TPhoneQuestionForm::InitialText(const TQuestion &question) const {
    return question.Modified ? question.GetAnswer() : question.DefaultAnswer;
}

void TPhoneQuestionForm::FillAnswerControls() {
    const TQuestion &question = *Question();
    const int digits =
        QFontMetrics(AnswerEdit->font()).horizontalAdvance(QStringLiteral("0123456789"));
    Layout().SetWidth(AnswerEdit, (question.MaxLength / 10 + 1) * digits);
    if (question.MaxLength > 0)
        AnswerEdit->setMaxLength(question.MaxLength);
    TEntryQuestionForm::FillAnswerControls();
}

bool TPhoneQuestionForm::ValidateAnswers() {
    return ValidateStoredAnswer();
}

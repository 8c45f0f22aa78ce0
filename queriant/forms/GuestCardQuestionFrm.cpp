// SPDX-License-Identifier: MIT
#include "GuestCardQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "FormLook.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"
#include "SimpleTranslator.h"

#include <QFontMetrics>
#include <QPushButton>

TGuestCardQuestionForm::TGuestCardQuestionForm(QWidget *parent)
    : TEntryQuestionForm(parent, FormType::GuestCard, TJawsScreen::GuestCard) {
    setObjectName(QStringLiteral("GuestCardQuestionForm"));
    // Every change is the answer, also the text filled in while loading.
    m_clearErrorOnChange = true;
    m_storeWhileLoading = true;
    LastAnswersBtn->hide();
    PrevBtn->hide();
    TitleLbl->setCaption(LoadResString(Res::SPopupTitleGuest));
    SwitchUserLabel->setText(Translate(QStringLiteral("QuestionFormSwitchUserLabelNormal"),
                                       QStringLiteral("I am not a guest.")));
    SwitchUserLabel->setAccessibleName(SwitchUserLabel->text());
    Layout().Place(AnswerEdit, QRect(16, 152, 193, 21));
    for (QWidget *label :
         {static_cast<QWidget *>(QuestionLbl), static_cast<QWidget *>(DescriptionLbl)})
        Layout().SetLeft(label, 16);
    connect(AnswerEdit, &TAnswerEdit::focused, this,
            [this] { WriteControl(AnswerEdit->objectName()); });
}

QString TGuestCardQuestionForm::DataTypeError() const {
    return LoadResString(Res::SValidation_NotList);
}

void TGuestCardQuestionForm::PresentQuestions() {
    TEntryQuestionForm::PresentQuestions();
    // The prompt, even when the set has a caption of its own.
    SetQuestionCaption(Question()->Prompt);
    DescribeAnswerControls();
}

int TGuestCardQuestionForm::EditWidthFor(int maxLength, const QFont &font) {
    return (std::max(maxLength, 0) / 10 + 1) *
           QFontMetrics(font).horizontalAdvance(QStringLiteral("0123456789"));
}

QString TGuestCardQuestionForm::InitialText(const TQuestion &question) const {
    return question.Modified ? question.GetAnswer() : question.DefaultAnswer;
}

void TGuestCardQuestionForm::FillAnswerControls() {
    const TQuestion &question = *Question();
    Layout().SetWidth(AnswerEdit, EditWidthFor(question.MaxLength, AnswerEdit->font()));
    AnswerEdit->show();
    if (question.MaxLength > 0)
        AnswerEdit->setMaxLength(question.MaxLength);
    AnswerEdit->setText(InitialText(question));
}

bool TGuestCardQuestionForm::ValidateAnswers() {
    return ValidateStoredAnswer();
}

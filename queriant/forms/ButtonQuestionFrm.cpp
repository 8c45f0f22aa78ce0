// SPDX-License-Identifier: MIT
#include "ButtonQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "JAWS.h"
#include "QuestionManager.h"

#include <QFontMetrics>
#include <QPushButton>

TButtonRow ButtonRowFor(int count, int widestText, int clientWidth) {
    if (count <= 0)
        return {0, clientWidth};
    int width = std::max(widestText + 8, 75);
    if (count * (width + 8) - 8 > clientWidth - 24)
        width = (clientWidth - 24) / count - 8;
    return {width, clientWidth - count * (width + 8) - 4};
}

TButtonQuestionForm::TButtonQuestionForm(QWidget *parent) : TChoiceQuestionForm(parent) {
    setObjectName(QStringLiteral("ButtonQuestionForm"));
    Layout().SetRect(QuestionLbl, QRect(70, 64, 403, 132));
    QuestionLbl->setVAlign(vtMiddle);
}

void TButtonQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    CheckFormType(FormType::Button, Res::Ex_DataTypeMustBeButton);
    DescriptionLbl->setCaption(Question()->Description);
    createButtons();
    CancelBtn->hide();
    if (RightToLeftLayout())
        ApplyRightToLeft();
    writeScreen();
}

void TButtonQuestionForm::createButtons() {
    const TQuestion &question = *Question();
    const int n = int(question.Choices.size());
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < n; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(DisplayText(question, i)));
    const int clientWidth = QuestionManager() ? QuestionManager()->FClientWidth : width();
    const int clientHeight = QuestionManager() ? QuestionManager()->FClientHeight : height();
    const TButtonRow row = ButtonRowFor(n, widest, clientWidth);
    const QString answer = question.GetAnswer();
    QPushButton *focus = nullptr;
    for (int i = 0; i < n; ++i) {
        auto *button = new QPushButton(DisplayText(question, i), MainPanel);
        button->setObjectName(QStringLiteral("AnswerButton%1").arg(i + 1));
        button->setProperty("tag", i);
        button->setAutoDefault(true);
        button->setAccessibleName(DisplayText(question, i).remove(QLatin1Char('&')));
        button->setAccessibleDescription(question.Description);
        Layout().Place(button, QRect(row.firstLeft + i * (row.width + 8),
                                     clientHeight - ButtonHeight - 8, row.width, ButtonHeight));
        connect(button, &QPushButton::clicked, this, [this, i] { answerClicked(i); });
        button->show();
        AnswerButtons.append(button);
        const QString value = ChoiceValue(question, i);
        if (!focus && value == answer) {
            focus = button;
            if (value == question.DefaultAnswer) {
                NextBtn->setDefault(false);
                button->setDefault(true);
            }
        }
    }
    if (!focus && !AnswerButtons.isEmpty())
        focus = AnswerButtons.first();
    SetFocusToControl(focus);
}

void TButtonQuestionForm::answerClicked(int index) {
    TQuestion *question = Question();
    if (!question)
        return;
    question->SetAnswer(ChoiceValue(*question, index));
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
    // The hidden next button still moves on: its handler runs without the button.
    if (NextBtn->isHidden() || SingleClick())
        NextBtnClick();
}

bool TButtonQuestionForm::ValidateAnswers() {
    const bool result = ValidateMandatory();
    writeScreen();
    return result;
}

void TButtonQuestionForm::ErrorTextChanged() {
    for (QPushButton *button : AnswerButtons)
        button->setAccessibleDescription(ErrorText().isEmpty() ? DescriptionLbl->caption()
                                                               : ErrorText());
}

void TButtonQuestionForm::writeScreen() {
    JawsWriteButtonScreen(TitleLbl->caption(), QuestionCaption(), DescriptionLbl->caption(),
                          ErrorText());
}

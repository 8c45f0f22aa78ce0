// SPDX-License-Identifier: MIT
#include "ComboQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"

#include <QComboBox>
#include <QPushButton>

TComboQuestionForm::TComboQuestionForm(QWidget *parent) : TChoiceQuestionForm(parent) {
    setObjectName(QStringLiteral("ComboQuestionForm"));
    AnswerCombo = new QComboBox(MainPanel);
    AnswerCombo->setObjectName(QStringLiteral("AnswerCombo"));
    AnswerCombo->setEditable(false);
    Layout().Place(AnswerCombo, QRect(70, 152, 145, 21));
    // First in the tab order, ahead of the navigation buttons.
    setTabOrder(AnswerCombo, PrevBtn);
    // A choice of the user, also of the item already shown.
    connect(AnswerCombo, &QComboBox::activated, this, &TComboQuestionForm::itemChosen);
}

void TComboQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    CheckFormType(FormType::Combo, Res::Ex_DataTypeMustBeCombo);
    DescriptionLbl->setCaption(Question()->Description);
    const TQuestion &question = *Question();
    const QString answer = question.GetAnswer();
    QStringList items;
    int selected = -1;
    for (int i = 0; i < question.Choices.size(); ++i) {
        items.append(DisplayText(question, i));
        if (selected < 0 && ChoiceValue(question, i) == answer)
            selected = i;
    }
    AnswerCombo->clear();
    AnswerCombo->addItems(items);
    // Without a matching value the first item shows, but the answer stays as it is.
    AnswerCombo->setCurrentIndex(selected >= 0 ? selected : (items.isEmpty() ? -1 : 0));
    DescribeControl(AnswerCombo, QuestionCaption(), question.Description);
    SetFocusToControl(AnswerCombo);
    if (RightToLeftLayout())
        ApplyRightToLeft();
}

void TComboQuestionForm::itemChosen(int index) {
    TQuestion *question = Question();
    if (!question || index < 0 || index >= question->Choices.size())
        return;
    question->SetAnswer(ChoiceValue(*question, index));
    ChoiceMade();
}

bool TComboQuestionForm::ValidateAnswers() {
    return ValidateMandatory();
}

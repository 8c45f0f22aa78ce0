// SPDX-License-Identifier: MIT
#include "RadioQuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "QuestionManager.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

int RadioColumnsFor(int count) {
    return std::max(count, 0) / 6 + 1;
}

TRadioQuestionForm::TRadioQuestionForm(QWidget *parent) : TChoiceQuestionForm(parent) {
    setObjectName(QStringLiteral("RadioQuestionForm"));
    AnswerRadio = new QGroupBox(MainPanel);
    AnswerRadio->setObjectName(QStringLiteral("AnswerRadio"));
    Layout().Place(AnswerRadio, QRect(GroupLeft, 144, GroupWidth, 135));
    Layout().SetRect(DescriptionLbl, QRect(70, 55, 443, Layout().Rect(DescriptionLbl).height()));
    m_buttons = new QButtonGroup(this);
    m_buttons->setExclusive(true);
    connect(m_buttons, &QButtonGroup::idClicked, this, &TRadioQuestionForm::itemClicked);
}

void TRadioQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    CheckFormType(FormType::Radio, Res::Ex_DataTypeMustBeRadio);
    DescriptionLbl->setCaption(Question()->Description);
    m_ready = false;
    fillGroup(*Question());
    m_ready = true;
    if (RightToLeftLayout())
        ApplyRightToLeft();
}

void TRadioQuestionForm::fillGroup(const TQuestion &question) {
    const int n = int(question.Choices.size());
    m_columns = RadioColumnsFor(n);
    const int clientWidth = QuestionManager() ? QuestionManager()->FClientWidth : width();
    Layout().SetWidth(AnswerRadio, std::min(clientWidth - GroupLeft - 8, GroupWidth * m_columns));
    // Items run down each column, as many rows as the columns need.
    const int rows = (n + m_columns - 1) / m_columns;
    auto *grid = new QGridLayout(AnswerRadio);
    grid->setContentsMargins(6, 4, 4, 4);
    grid->setSpacing(0);
    const QString answer = question.GetAnswer();
    QRadioButton *checked = nullptr;
    for (int i = 0; i < n; ++i) {
        auto *button = new QRadioButton(DisplayText(question, i), AnswerRadio);
        button->setObjectName(QStringLiteral("AnswerRadio%1").arg(i + 1));
        button->setAccessibleDescription(question.Description);
        grid->addWidget(button, i % rows, i / rows);
        m_buttons->addButton(button, i);
        RadioButtons.append(button);
        if (!checked && ChoiceValue(question, i) == answer) {
            checked = button;
            button->setChecked(true);
        }
    }
    AnswerRadio->setAccessibleName(QuestionCaption());
    if (n > 0) {
        AnswerRadio->setFocusProxy(checked ? checked : RadioButtons.first());
        SetFocusToControl(AnswerRadio);
    }
}

void TRadioQuestionForm::itemClicked(int index) {
    TQuestion *question = Question();
    if (!m_ready || !question || index < 0 || index >= question->Choices.size())
        return;
    question->SetAnswer(ChoiceValue(*question, index));
    ChoiceMade();
}

bool TRadioQuestionForm::ValidateAnswers() {
    return ValidateMandatory();
}

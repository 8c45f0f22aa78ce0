// SPDX-License-Identifier: MIT
// Dialog with a drop-down list of the answers ("comboform"), no free text.
#pragma once

#include "ChoiceQuestionFrm.h"

class QComboBox;

class TComboQuestionForm : public TChoiceQuestionForm {
    Q_OBJECT
public:
    explicit TComboQuestionForm(QWidget *parent = nullptr);

    void PresentQuestions() override;
    bool ValidateAnswers() override;

    QComboBox *AnswerCombo = nullptr;

private:
    void itemChosen(int index);
};

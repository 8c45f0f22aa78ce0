// SPDX-License-Identifier: MIT
// Dialog with one push button per answer ("buttonform"); the buttons replace Cancel.
#pragma once

#include "ChoiceQuestionFrm.h"

#include <QList>

class QPushButton;

// Place of the answer buttons on a dialog of client width W: every button's width and the
// left edge of the first; each next button is width + 8 further right.
struct TButtonRow {
    int width;
    int firstLeft;
};
TButtonRow ButtonRowFor(int count, int widestText, int clientWidth);

class TButtonQuestionForm : public TChoiceQuestionForm {
    Q_OBJECT
public:
    static constexpr int ButtonHeight = 25;

    explicit TButtonQuestionForm(QWidget *parent = nullptr);

    void PresentQuestions() override;
    bool ValidateAnswers() override;

    // The answer buttons, in answer order; each one's index is its "tag" property.
    QList<QPushButton *> AnswerButtons;

protected:
    void ErrorTextChanged() override;

private:
    void createButtons();
    void answerClicked(int index);
    void writeScreen();
};

// SPDX-License-Identifier: MIT
// Dialog with a radio group of the answers ("radioform"), in columns of up to six.
#pragma once

#include "ChoiceQuestionFrm.h"

#include <QList>

class QButtonGroup;
class QGroupBox;
class QRadioButton;

// Columns of a radio group of count answers.
int RadioColumnsFor(int count);

class TRadioQuestionForm : public TChoiceQuestionForm {
    Q_OBJECT
public:
    static constexpr int GroupLeft = 71;
    static constexpr int GroupWidth = 137;

    explicit TRadioQuestionForm(QWidget *parent = nullptr);

    void PresentQuestions() override;
    bool ValidateAnswers() override;

    QGroupBox *AnswerRadio = nullptr;
    QList<QRadioButton *> RadioButtons;
    int Columns() const { return m_columns; }

private:
    void fillGroup(const TQuestion &question);
    void itemClicked(int index);

    QButtonGroup *m_buttons = nullptr;
    int m_columns = 1;
    // False while the group is filled: checking an item then is not the user's choice.
    bool m_ready = false;
};

// SPDX-License-Identifier: MIT
// Dialog for up to three answers at once ("logonform"), such as a user name and a password:
// one row per question with its prompt, edit, confirm edit and description; only the
// description of the row that has the focus shows.
#pragma once

#include "AnswerEdit.h"
#include "QuestionFrm.h"

#include <array>

class TLogonQuestionForm : public TQuestionForm {
    Q_OBJECT
public:
    static constexpr int RowCount = 3;

    explicit TLogonQuestionForm(QWidget *parent = nullptr);

    void PresentQuestions() override;
    bool ValidateAnswers() override;

    std::array<TAlignLabel *, RowCount> PromptLbl{};
    std::array<TAnswerEdit *, RowCount> AnswerEditRow{};
    std::array<TAnswerEdit *, RowCount> AnswerEditRowB{};
    std::array<TAlignLabel *, RowCount> DescriptionRowLbl{};

protected:
    void ErrorTextChanged() override;

private:
    void setUpRow(int row, TQuestion &question);
    void rowChanged(int row);
    void rowFocused(int row, TAnswerEdit *edit);
    bool rowKey(int row, bool confirm, QKeyEvent *event);
    void focusRowOrFinish(int row);
    void describeRows();
    void writeControl(const QString &name, const QString &prompt);

    int m_rightEdge = 0;
};

// SPDX-License-Identifier: MIT
// Dialog for a free-text answer ("stringform"): a one-line edit sized to the answer's maximum
// length, or a memo for long answers.
#pragma once

#include "EntryQuestionFrm.h"

class TStringQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TStringQuestionForm(QWidget *parent = nullptr);

    bool ValidateAnswers() override;

    TAnswerMemo *AnswerMemo = nullptr;

    // Width of the one-line edit for an answer of maxLength characters in font; above 400
    // pixels (or maxLength above 80) the memo is used.
    static int EditWidthFor(int maxLength, const QFont &font);
    static bool UsesMemo(int maxLength, int width);

protected:
    QString DataTypeError() const override;
    void FillAnswerControls() override;
    void DescribeAnswerControls() override;

private:
    void memoChanged();
    bool memoKey(QKeyEvent *event);
};

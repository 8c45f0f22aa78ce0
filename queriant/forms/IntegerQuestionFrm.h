// SPDX-License-Identifier: MIT
// Dialog for a whole number ("integerform").
#pragma once

#include "EntryQuestionFrm.h"

class TIntegerQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TIntegerQuestionForm(QWidget *parent = nullptr);

    bool ValidateAnswers() override;

protected:
    QString DataTypeError() const override;

private:
    bool filterKey(QKeyEvent *event);
};

// SPDX-License-Identifier: MIT
// Dialog for a float number ("floatform").
#pragma once

#include "EntryQuestionFrm.h"

class TFloatQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TFloatQuestionForm(QWidget *parent = nullptr);

    bool ValidateAnswers() override;

protected:
    QString DataTypeError() const override;
};

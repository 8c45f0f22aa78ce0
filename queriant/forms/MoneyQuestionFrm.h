// SPDX-License-Identifier: MIT
// Dialog for a money amount ("moneyform").
#pragma once

#include "EntryQuestionFrm.h"

class TMoneyQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TMoneyQuestionForm(QWidget *parent = nullptr);

    bool ValidateAnswers() override;

protected:
    QString DataTypeError() const override;
};

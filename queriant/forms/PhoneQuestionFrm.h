// SPDX-License-Identifier: MIT
// Dialog for a telephone number ("phonenumberform").
#pragma once

#include "EntryQuestionFrm.h"

class TPhoneQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TPhoneQuestionForm(QWidget *parent = nullptr);

    bool ValidateAnswers() override;

protected:
    QString DataTypeError() const override;
    QString InitialText(const TQuestion &question) const override;
    void FillAnswerControls() override;
};

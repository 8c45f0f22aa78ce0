// SPDX-License-Identifier: MIT
// The list dialog filled from the popup server when shown ("sqllistform").
#pragma once

#include "ListQuestionFrm.h"

class TSQLListQuestionForm : public TListQuestionForm {
    Q_OBJECT
public:
    explicit TSQLListQuestionForm(QWidget *parent = nullptr);

protected:
    // The server runs the question's query with the answers it names (the manager's refresh).
    void RefreshChoices() override;
    bool WritesScreenReaderFile() const override { return false; }
    bool FollowsRightToLeft() const override { return false; }
};

// SPDX-License-Identifier: MIT
// Guest card number entry ("guestcardform"), with the link back to the normal questions.
#pragma once

#include "EntryQuestionFrm.h"

class TGuestCardQuestionForm : public TEntryQuestionForm {
    Q_OBJECT
public:
    explicit TGuestCardQuestionForm(QWidget *parent = nullptr);

    void PresentQuestions() override;
    bool ValidateAnswers() override;

    // Width of the edit for a card number of maxLength digits in font.
    static int EditWidthFor(int maxLength, const QFont &font);

protected:
    QString DataTypeError() const override;
    void FillAnswerControls() override;
    QString InitialText(const TQuestion &question) const override;
};

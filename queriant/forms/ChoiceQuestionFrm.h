// SPDX-License-Identifier: MIT
// What the choice dialogs share: they answer the first question of their set, check the set's
// form type, show the display text of each value, refuse an empty answer to a mandatory
// question, and move on at once after a choice when the job asks for single-click answers.
#pragma once

#include "QuestionFrm.h"
#include "ResourceStrings.h"

class TChoiceQuestionForm : public TQuestionForm {
    Q_OBJECT

protected:
    using TQuestionForm::TQuestionForm;

    TQuestion *Question() const;
    // Raises the data-type failure unless the set is of formType.
    void CheckFormType(const char *formType, const TResourceString &error) const;
    // The text shown for choice i: its caption when the question has one, else the value.
    static QString DisplayText(const TQuestion &question, int i);
    static QString ChoiceValue(const TQuestion &question, int i);
    // The mandatory check: message, focus to FocusToControl, false.
    bool ValidateMandatory();
    // Whether a choice confirms itself (the job's single-click option).
    bool SingleClick() const;
    // After a choice: acts as NextBtn when the job asks for single-click answers.
    void ChoiceMade();
};

// SPDX-License-Identifier: MIT
// What the dialog base does with a set's earlier answers when the set is handed to a dialog:
// which questions take their last answer, which one the user looks at first, and whether the
// dialog passes the set over once it is shown.
#pragma once

#include "Questions.h"

#include <QList>

// What the rule reads of one question.
struct TSkipQuestion {
    bool HasLastAnswer = false;
    quint8 SaveLastAnswerMode = 0;
    // An answer is required: the question's Mandatory flag, or for a cost-center level the
    // job's CostCenterMandatory option.
    bool Required = false;
};

struct TSkipDecision {
    // Positions of the questions whose last answer becomes their answer now.
    QList<int> TakeLastAnswer;
    // The first question the user must look at; -1 when every one is answered without asking.
    int FirstQuestionToAsk = -1;
    bool AllHaveAnswer = true;
    bool UseAuto = true;
    // The set's SkipState after the decision: 1 to pass over when shown (unless it was
    // passed over once already, 2), 0 to ask.
    quint8 SkipState = 0;

    friend bool operator==(const TSkipDecision &, const TSkipDecision &) = default;
};

// A question counts as answered when it has a last answer, or when it is optional and
// optional questions may be skipped; it is answered without asking only in save mode 2.
TSkipDecision DecideSkip(const QList<TSkipQuestion> &questions, quint8 skipState,
                         bool skipIfNotMandatory);

// The rule's inputs read from the set's questions.
QList<TSkipQuestion> SkipQuestionsOf(const TQuestionSet &set, bool costCenterMandatory);

// Gives the chosen questions their last answers and the set its new SkipState.
void ApplySkipDecision(TQuestionSet &set, const TSkipDecision &decision);

// SPDX-License-Identifier: MIT
#include "SkipDecision.h"

#include "SecureWipe.h"

TSkipDecision DecideSkip(const QList<TSkipQuestion> &questions, quint8 skipState,
                         bool skipIfNotMandatory) {
    TSkipDecision decision;
    const auto ask = [&decision](int i) {
        if (decision.FirstQuestionToAsk < 0)
            decision.FirstQuestionToAsk = i;
    };
    for (int i = 0; i < int(questions.size()); ++i) {
        const TSkipQuestion &q = questions[i];
        if (q.HasLastAnswer || (!q.Required && skipIfNotMandatory)) {
            if (q.SaveLastAnswerMode != 0)
                decision.TakeLastAnswer.append(i);
            if (q.SaveLastAnswerMode != 2) {
                decision.UseAuto = false;
                ask(i);
            }
        } else {
            decision.AllHaveAnswer = false;
            ask(i);
        }
    }
    if (decision.AllHaveAnswer && decision.UseAuto)
        decision.SkipState = skipState == 2 ? 2 : 1;
    return decision;
}

QList<TSkipQuestion> SkipQuestionsOf(const TQuestionSet &set, bool costCenterMandatory) {
    const bool costCenter = set.FormType == FormType::CostCenter;
    QList<TSkipQuestion> questions;
    for (const TQuestion *question : set.Questions) {
        QString last = question->GetLastAnswer();
        questions.append({!last.isEmpty(), question->SaveLastAnswerMode,
                          costCenter ? costCenterMandatory : question->Mandatory});
        zv::SecureWipe(last);
    }
    return questions;
}

void ApplySkipDecision(TQuestionSet &set, const TSkipDecision &decision) {
    for (int i : decision.TakeLastAnswer) {
        TQuestion *question = set.Question(i);
        QString last = question->GetLastAnswer();
        question->SetAnswer(last);
        zv::SecureWipe(last);
    }
    set.SkipState = decision.SkipState;
}

// SPDX-License-Identifier: MIT
// The dialog base's skip decision over earlier answers, as a pure rule and applied to a set.
#include "SkipDecision.h"
#include "AesUse.h"

#include <gtest/gtest.h>

namespace {

TSkipQuestion answered(quint8 mode) {
    return {true, mode, true};
}
TSkipQuestion unanswered(bool required = true, quint8 mode = 2) {
    return {false, mode, required};
}

} // namespace

TEST(SkipDecision, AnsweredWithoutAskingOnlyWhenEveryQuestionIsAutomatic) {
    const struct {
        const char *name;
        QList<TSkipQuestion> questions;
        quint8 skipState;
        bool skipIfNotMandatory;
        QList<int> take;
        int firstToAsk;
        quint8 newState;
    } cases[] = {
        {"all automatic", {answered(2), answered(2)}, 0, false, {0, 1}, -1, 1},
        {"passed over once stays so", {answered(2)}, 2, false, {0}, -1, 2},
        {"second filled in but asked", {answered(2), answered(1)}, 0, false, {0, 1}, 1, 0},
        {"not kept is asked", {answered(0), answered(2)}, 1, false, {1}, 0, 0},
        {"missing answer asked first",
         {answered(2), unanswered(), answered(1)},
         0,
         false,
         {0, 2},
         1,
         0},
        {"optional passes when allowed", {unanswered(false), answered(2)}, 0, true, {0, 1}, -1, 1},
        {"optional is asked otherwise", {unanswered(false), answered(2)}, 0, false, {1}, 0, 0},
        {"required is asked anyway", {unanswered(true)}, 0, true, {}, 0, 0},
        {"empty set", {}, 0, false, {}, -1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TSkipDecision d = DecideSkip(c.questions, c.skipState, c.skipIfNotMandatory);
        EXPECT_EQ(d.TakeLastAnswer, c.take);
        EXPECT_EQ(d.FirstQuestionToAsk, c.firstToAsk);
        EXPECT_EQ(d.SkipState, c.newState);
    }
}

// Cost-center levels are required by the job option, other questions by their own flag; the
// chosen questions take their last answers.
TEST(SkipDecision, ReadsTheSetAndAppliesTheDecision) {
    TAesUse::Init();
    TQuestion a, b;
    a.Mandatory = true;
    a.SaveLastAnswerMode = 2;
    a.SetSecure(true);
    a.SetLastAnswer(QStringLiteral("D200"));
    b.SaveLastAnswerMode = 2;
    TQuestionSet set;
    set.Add(&a);
    set.Add(&b);
    for (const char *type : {FormType::CostCenter, FormType::String}) {
        set.FormType = type;
        for (bool mandatory : {false, true}) {
            const QList<TSkipQuestion> read = SkipQuestionsOf(set, mandatory);
            ASSERT_EQ(read.size(), 2);
            EXPECT_TRUE(read[0].HasLastAnswer);
            EXPECT_FALSE(read[1].HasLastAnswer);
            const bool costCenter = set.FormType == FormType::CostCenter;
            EXPECT_EQ(read[0].Required, costCenter ? mandatory : true);
            EXPECT_EQ(read[1].Required, costCenter && mandatory);
        }
    }
    set.FormType = FormType::CostCenter;
    const TSkipDecision d = DecideSkip(SkipQuestionsOf(set, false), 0, true);
    ApplySkipDecision(set, d);
    EXPECT_EQ(set.SkipState, 1);
    EXPECT_EQ(a.GetAnswer(), QStringLiteral("D200"));
    EXPECT_TRUE(b.GetAnswer().isEmpty());
}

// SPDX-License-Identifier: MIT
// The command line read once into the job start: what each run mode takes from it.
#include "JobStart.h"

#include <gtest/gtest.h>

TEST(JobStart, SectionAndJobParametersByRunMode) {
    const struct {
        QStringList parameters;
        quint8 runMode;
        QString section;
        QStringList jobParameters;
        bool namesJobSection;
    } cases[] = {
        {{}, rmTestRun, {}, {}, false},
        {{"/zvjob.1234"}, rmJobParameters, "/zvjob.1234", {"/zvjob.1234"}, true},
        {{"PRINTSRV", "Queue1"}, rmJobParameters, {}, {"PRINTSRV", "Queue1"}, false},
        {{"PRINTSRV", "Queue1", "x"}, rmJobParameters, {}, {"PRINTSRV", "Queue1", "x"}, false},
        {{"/XpNotify", "Local\\zvreq.1"}, rmRequestFile, "Local\\zvreq.1", {}, false},
        // The request section is the second parameter wherever the switch stands.
        {{"Local\\zvreq.2", "-xpnotify"}, rmRequestFile, "-xpnotify", {}, false},
        {{"/XpNotify"}, rmRequestFile, {}, {}, false},
        {{"-Embedding"}, rmAutomation, {}, {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.parameters.join(' ').toStdString());
        const TJobStart start(c.parameters);
        EXPECT_EQ(start.RunMode, c.runMode);
        EXPECT_EQ(start.Parameters, c.parameters);
        EXPECT_EQ(start.SectionName, c.section);
        EXPECT_EQ(start.JobParameters(), c.jobParameters);
        EXPECT_EQ(start.NamesJobSection(), c.namesJobSection);
    }
    EXPECT_EQ(TJobStart().RunMode, rmTestRun);
    EXPECT_EQ(TJobStart({QStringLiteral("a"), QStringLiteral("b")}).RunMode, rmJobParameters);
}

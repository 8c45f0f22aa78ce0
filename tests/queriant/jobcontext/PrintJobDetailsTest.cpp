// SPDX-License-Identifier: MIT
#include "PrintJobDetails.h"
#include "AesUse.h"
#include "Fixtures.h"
#include "ZvRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QtEndian>

using jobtest::CaptureLog;
using jobtest::TestSection;

namespace {

std::unique_ptr<TPrintJobDetails> Job(const char *server, const char *group, const char *doc,
                                      const char *questions, const char *answers) {
    auto job = std::make_unique<TPrintJobDetails>(server, group, doc);
    job->LastQuestions = questions;
    job->SetLastAnswers(answers);
    return job;
}

// The section image of a list, built with the entry encoder the list itself uses.
QByteArray Image(qint32 numJobs, const std::vector<const TPrintJobDetails *> &jobs) {
    QByteArray image(16384, '\0');
    TSectionWriter writer(image.data(), image.size());
    writer.WriteInteger(numJobs);
    for (const TPrintJobDetails *job : jobs)
        WritePriorJob(writer, *job);
    return image;
}

} // namespace

class PrintJobListTest : public ::testing::Test {
protected:
    void SetUp() override { TAesUse::Init(); }
    zvtest::Sandbox sandbox;
    CaptureLog log;
};

TEST_F(PrintJobListTest, SavedListLoadsBackAndLookupsUseTheNewestExactMatch) {
    TestSection section(sandbox.uniqueName("prior"));
    {
        TPrintJobList list(section.name());
        list.Add(Job("OMB1", "grpA", "old.doc", "Q1;Q2", "old-secret"));
        list.Add(Job("OMB1", "grpB", "other.doc", "Q9", ""));
        list.Add(Job("OMB1", "grpA", "new.doc", "Q1;Q3", "new-secret"));
        list.SetPriorJobResponse("OMB1", "grpA", 6);
        list.SavePrintJobs();
    }
    TPrintJobList list(section.name());
    list.LoadPrintJobs();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_TRUE(log.has(QStringLiteral("LoadPrintJobs - NumJobs=3")));
    EXPECT_EQ(list.Item(1).CryptSize(), 16); // empty answers still take one block

    TPrintJobDetails *found = list.FindPriorPrintJob("OMB1", "grpA");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &list.Item(2));
    EXPECT_EQ(found->DocName, "new.doc");
    EXPECT_EQ(found->LastUserResponse, 6);
    EXPECT_EQ(list.Item(0).LastUserResponse, 0);
    const QDateTime received = JobTimeToDateTime(found->JobReceived);
    EXPECT_LE(qAbs(received.secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_TRUE(log.has(QStringLiteral("Found the question group")));

    EXPECT_EQ(list.FindPriorPrintJob("omb1", "grpA"), nullptr);
    EXPECT_EQ(list.FindPriorPrintJob("OMB1", "GRPA"), nullptr);

    QByteArray questions, answers;
    ASSERT_TRUE(list.GetPriorJobLastAnswers("OMB1", "grpA", questions, answers));
    EXPECT_EQ(questions, "Q1;Q3");
    EXPECT_EQ(answers, "new-secret");
    EXPECT_FALSE(list.GetPriorJobLastAnswers("OMB2", "grpA", questions, answers));

    list.SetPriorJobLastAnswers("OMB1", "grpA", "changed", "Q4");
    EXPECT_EQ(list.Item(2).GetLastAnswers(), "changed");
    EXPECT_EQ(list.Item(0).GetLastAnswers(), "old-secret");
    list.SetPriorJobLastAnswers("OMB1", "grpZ", "lost", "Q5");
    EXPECT_TRUE(log.has(QStringLiteral("SetPriorJobLastAnswers: failed to find the job of server "
                                       "name:[OMB1], question group name:[grpZ]")));
    list.SavePrintJobs();

    for (const QString &line : log.lines) {
        EXPECT_FALSE(line.contains(QStringLiteral("secret")) ||
                     line.contains(QStringLiteral("changed")))
            << line.toStdString();
    }
    EXPECT_TRUE(log.has(QStringLiteral("SavePrintJobs - LastAnswers= <Data removed for security "
                                       "reasons>, CryptSize:16")));
}

TEST_F(PrintJobListTest, AListTooLargeForTheSectionFailsAndLeavesItUnchanged) {
    TestSection section(sandbox.uniqueName("prior"));
    {
        TPrintJobList list(section.name());
        list.Add(Job("OMB1", "grpA", "a.doc", "Q1", "x"));
        list.SavePrintJobs();
    }
    const QByteArray before = section.bytes();
    TPrintJobList list(section.name());
    list.LoadPrintJobs();
    list.Add(Job("OMB1", "grpB", "b.doc", QByteArray(16384, 'q').constData(), "y"));
    list.SavePrintJobs();
    EXPECT_TRUE(log.has(QStringLiteral("SavePrintJobs, failed, error:Write past the end of the "
                                       "memory file")));
    EXPECT_EQ(section.bytes(), before);

    TPrintJobList orphan(sandbox.uniqueName("absent"));
    orphan.SavePrintJobs();
    EXPECT_TRUE(
        log.has(QStringLiteral("SavePrintJobs, failed, error:Failed to open map file. Error:2")));
}

TEST_F(PrintJobListTest, ACorruptSectionKeepsTheEntriesReadBeforeTheFault) {
    const auto good = Job("OMB1", "grpA", "a.doc", "Q1", "x");
    auto bad = Job("OMB2", "grpB", "b.doc", "Q2", "y");
    const QByteArray valid = Image(2, {good.get(), bad.get()});
    // Offset of the second entry's CryptSize: everything before it is valid.
    const qsizetype secondCryptSize = 4 + (4 + 5 + 4 + 5 + 4 + 6 + 8 + 4 + 4 + 3 + 4 + 16) +
                                      (4 + 5 + 4 + 5 + 4 + 6 + 8 + 4 + 4 + 3);
    ASSERT_EQ(qFromLittleEndian<qint32>(valid.constData() + secondCryptSize), 16);

    struct Case {
        const char *name;
        qint32 cryptSize;
        const char *error;
    } cases[] = {
        {"CryptSize beyond the section", 20000, "Read past the end of the memory file"},
        {"negative CryptSize", -1, "Invalid size of the last answers: -1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray image = valid;
        qToLittleEndian(c.cryptSize, image.data() + secondCryptSize);
        TestSection section(sandbox.uniqueName("corrupt"), image);
        TPrintJobList list(section.name());
        list.LoadPrintJobs();
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Item(0).PrintServerName, "OMB1");
        EXPECT_EQ(list.Item(0).GetLastAnswers(), "x");
        EXPECT_TRUE(log.has(QStringLiteral("LoadPrintJobs, error:") + c.error));
    }

    TestSection empty(sandbox.uniqueName("empty"));
    TPrintJobList list(empty.name());
    list.LoadPrintJobs();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(log.has(QStringLiteral("LoadPrintJobs - NumJobs=0")));
    EXPECT_FALSE(log.mentions(QStringLiteral("MemFile not found")));
}

TEST_F(PrintJobListTest, JobTimeCountsDaysFromTheEndOf1899) {
    const struct {
        QDateTime time;
        double days;
    } cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
        {QDateTime(QDate(1900, 1, 1), QTime(18, 0)), 2.75},
        {QDateTime(QDate(2000, 1, 1), QTime(12, 0)), 36526.5},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DateTimeToJobTime(c.time), c.days);
        EXPECT_EQ(JobTimeToDateTime(c.days), c.time);
    }
}

class PriorJobsSectionMissing : public PrintJobListTest {
protected:
    void SetPath(const QString &path) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("SOFTWARE\\Zorvant\\Installed Components"))
            .writeString(QStringLiteral("Path"), path);
    }
};

TEST_F(PriorJobsSectionMissing, NoInstallPathStartsNothing) {
    TPrintJobList list(sandbox.uniqueName("missing"));
    list.LoadPrintJobs();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(log.has(QStringLiteral("LoadPrintJobs- MemFile not found, create it")));
    EXPECT_FALSE(log.mentions(QStringLiteral("velkor")));
    EXPECT_FALSE(log.mentions(QStringLiteral("Failed to start")));
}

TEST_F(PriorJobsSectionMissing, AnInstallWithoutVelkorLogsTheFailedStart) {
    SetPath(sandbox.dir());
    const QString name = sandbox.uniqueName("missing");
    TPrintJobList list(name);
    list.LoadPrintJobs();
    EXPECT_TRUE(log.has("Failed to start:" + sandbox.dir() + "/bin/velkor " + name));
}

TEST_F(PriorJobsSectionMissing, StartsVelkorWhichCreatesTheSectionForLaterRuns) {
#ifndef ZV_HAVE_TOOLS
    GTEST_SKIP() << "built without the tools folder";
#endif
    // The install folder holds bin/velkor as built.
    QDir().mkpath(sandbox.path(QStringLiteral("install/bin")));
    ASSERT_TRUE(QFile::link(QStringLiteral(ZV_BIN_DIR "/velkor"),
                            sandbox.path(QStringLiteral("install/bin/velkor"))));
    SetPath(sandbox.path(QStringLiteral("install")));

    const QString name = sandbox.uniqueName("prior");
    TPrintJobList list(name);
    list.LoadPrintJobs();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(log.mentions(QStringLiteral("WaitForSingleObject(ProcessInfo.hProcess, 100 )=")));
    EXPECT_TRUE(log.mentions(QStringLiteral("Start velkor, ExitCode =")));

    QElapsedTimer timer;
    timer.start();
    while (!TestSection::exists(name) && timer.elapsed() < 10000)
        QThread::msleep(20);
    log.lines.clear();
    TPrintJobList later(name);
    later.LoadPrintJobs();
    EXPECT_TRUE(log.has(QStringLiteral("LoadPrintJobs - NumJobs=0")));
    EXPECT_FALSE(log.mentions(QStringLiteral("MemFile not found")));
    TestSection::unlink(name);
}

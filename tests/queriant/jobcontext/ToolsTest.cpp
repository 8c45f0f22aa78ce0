// SPDX-License-Identifier: MIT
// velkor and zvjob run as real processes against real sections.
#include "Fixtures.h"
#include "MemMappedFile.h"
#include "ZvSharedSection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using jobtest::TestSection;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QByteArray out;
};

ProgramRun RunProgram(const QString &program, const QStringList &args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(ZV_BIN_DIR "/") + program, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

// velkor and zvjob come from the tools folder, which a partial build may leave out.
#ifdef ZV_HAVE_TOOLS
constexpr bool haveTools = true;
#else
constexpr bool haveTools = false;
#endif

mode_t ObjectMode(const QString &name) {
    const int fd = ::shm_open(zv::posixObjectName(name).constData(), O_RDONLY, 0);
    struct stat st {};
    const int rc = fd >= 0 ? ::fstat(fd, &st) : -1;
    if (fd >= 0)
        ::close(fd);
    return rc == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

TEST(Velkor, CreatesThePriorJobsSectionOnceAndLeavesItAlone) {
    if (!haveTools)
        GTEST_SKIP() << "built without the tools folder";
    zvtest::Sandbox sandbox;
    const QString name = sandbox.uniqueName("prior");
    ASSERT_EQ(RunProgram(QStringLiteral("velkor"), {name}).exitCode, 0);
    ASSERT_TRUE(TestSection::exists(name));
    EXPECT_EQ(ObjectMode(name), mode_t(0600));
    {
        const auto section = zv::ZvSharedSection::open(name);
        EXPECT_EQ(QByteArray(section->data(), 16384), QByteArray(16384, '\0'));
        std::memcpy(section->data(), "\x01\x00\x00\x00", 4);
    }
    const ProgramRun second = RunProgram(QStringLiteral("velkor"), {name});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains("already exists"));
    EXPECT_EQ(zv::ZvSharedSection::open(name)->data()[0], '\x01');
    TestSection::unlink(name);
}

class ZvJob : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTools)
            GTEST_SKIP() << "built without the tools folder";
    }
    QStringList JobArgs(const QString &section) const {
        return {QStringLiteral("--queriant"),
                QStringLiteral(ZV_BIN_DIR "/zvjob_test_peer"),
                QStringLiteral("--section"),
                section,
                QStringLiteral("--json"),
                QStringLiteral("--workstation"),
                QStringLiteral("WS-7"),
                QStringLiteral("--print-server"),
                QStringLiteral("omb.example"),
                QStringLiteral("--queue"),
                QStringLiteral("Farbe"),
                QStringLiteral("--user"),
                QStringLiteral("j\u00fcrgen"),
                QStringLiteral("--document"),
                QString(),
                QStringLiteral("--printer"),
                QStringLiteral("P 1"),
                QStringLiteral("--pages"),
                QStringLiteral("42"),
                QStringLiteral("--timeout"),
                QStringLiteral("30")};
    }
    QJsonObject Peer() const {
        return QJsonDocument::fromJson(sandbox.readFile(QStringLiteral("peer.json"))).object();
    }

    zvtest::Sandbox sandbox;
    zvtest::ScopedEnv peerOut{"ZVJOB_PEER_OUT",
                              sandbox.path(QStringLiteral("peer.json")).toLocal8Bit()};
};

TEST_F(ZvJob, TheClientReadsItsJobAndZvJobDecryptsTheClientsRecord) {
    const QString name = sandbox.uniqueName("job");
    const ProgramRun run = RunProgram(QStringLiteral("zvjob"), JobArgs(name));
    ASSERT_EQ(run.exitCode, 1) << run.out.toStdString();

    const QJsonObject peer = Peer();
    EXPECT_EQ(peer.value("WorkStation").toString(), QStringLiteral("WS-7"));
    EXPECT_EQ(peer.value("OmbrelServer").toString(), QStringLiteral("omb.example"));
    EXPECT_EQ(peer.value("SpoolQueue").toString(), QStringLiteral("Farbe"));
    EXPECT_EQ(peer.value("UserName").toString(), QStringLiteral("j\u00fcrgen"));
    EXPECT_EQ(peer.value("Document").toString(), QString());
    EXPECT_EQ(peer.value("PrinterName").toString(), QStringLiteral("P 1"));
    EXPECT_EQ(peer.value("NumPages").toInt(), 42);

    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(report.value("exitCode").toInt(), 1);
    const QJsonObject record = report.value("answerRecord").toObject();
    EXPECT_EQ(record.value("lines").toArray(),
              QJsonArray({"WS-7", QStringLiteral("j\u00fcrgen"), "", "42", "CC_Static",
                          QStringLiteral("Sales\rK\u00f6ln"), "StaticNotifyIP", "127.0.0.1:S0"}));
    EXPECT_EQ(record.value("answers").toArray().at(1).toObject().value("value").toString(),
              QStringLiteral("127.0.0.1:S0"));
    EXPECT_EQ(record.value("trailer").toString(), QString());
    EXPECT_FALSE(TestSection::exists(name)); // zvjob removes its section
}

TEST_F(ZvJob, ACancelledJobHasNoRecord) {
    zvtest::ScopedEnv cancel("ZVJOB_PEER_CANCEL", "1");
    const ProgramRun run = RunProgram(QStringLiteral("zvjob"), JobArgs(sandbox.uniqueName("job")));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(report.value("exitCode").toInt(), 0);
    EXPECT_TRUE(report.value("answerRecord").isNull());
    EXPECT_EQ(Peer().value("NumPages").toInt(), 42);
}

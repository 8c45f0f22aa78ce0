// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvChildProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using zv::ZvChildProcess;

namespace {

std::unique_ptr<ZvChildProcess> shell(const QString &script, const QStringList &args = {}) {
    return ZvChildProcess::start(QStringLiteral("/bin/sh"),
                                 QStringList{QStringLiteral("-c"), script, QStringLiteral("sh")} +
                                     args);
}

TEST(ChildProcess, ReportsTheExitCodeAndPassesArgumentsVerbatim) {
    auto p =
        shell(QStringLiteral(
                  "test \"$1\" = 'a b' && test -z \"$2\" && test \"$3\" = '$HOME;*' && exit 7"),
              {QStringLiteral("a b"), QString(), QStringLiteral("$HOME;*")});
    EXPECT_TRUE(p->wait(10000));
    EXPECT_TRUE(p->hasEnded());
    EXPECT_EQ(p->exitCode(), 7);
    EXPECT_TRUE(p->wait(0)); // stays ended
}

TEST(ChildProcess, AWaitThatTimesOutReportsStillActive) {
    auto p = shell(QStringLiteral("exec sleep 30"));
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(p->wait(100));
    EXPECT_GE(t.elapsed(), 95);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(p->hasEnded());
    EXPECT_EQ(p->exitCode(), ZvChildProcess::kStillActive);
    ::kill(p->pid(), SIGTERM);
    EXPECT_TRUE(p->wait(10000));
    EXPECT_EQ(p->exitCode(), 128 + SIGTERM);
}

TEST(ChildProcess, TheChildInheritsNoDescriptorsBeyondTheStandardThree) {
    const int fd = ::open("/dev/null", O_RDONLY); // deliberately without O_CLOEXEC
    ASSERT_GE(fd, 3);
    auto p = shell(QStringLiteral("test -e /proc/self/fd/%1 && exit 1; exit 0").arg(fd));
    ASSERT_TRUE(p->wait(10000));
    ::close(fd);
    EXPECT_EQ(p->exitCode(), 0);
}

TEST(ChildProcess, FailuresToStartCarryTheErrno) {
    zvtest::Sandbox box;
    struct Case {
        QString program;
        int error;
    };
    const QString notExecutable = box.writeFile(QStringLiteral("bin/tool"), "#!/bin/sh\n");
    for (const Case &c :
         {Case{box.path(QStringLiteral("bin/velkor")), ENOENT}, Case{notExecutable, EACCES},
          Case{QStringLiteral("zvtest-no-such-program"), ENOENT}}) {
        try {
            ZvChildProcess::start(c.program);
            ADD_FAILURE() << "started " << c.program.toStdString();
        } catch (const zv::ZvProcessError &e) {
            EXPECT_EQ(e.errorCode(), c.error) << c.program.toStdString();
            EXPECT_TRUE(e.message().contains(c.program));
        }
    }
}

TEST(ChildProcess, ADetachedProgramLeadsItsOwnSessionAndIsReaped) {
    zvtest::Sandbox box;
    const QString out = box.path(QStringLiteral("detached"));
    const pid_t pid = ZvChildProcess::startDetached(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"),
         QStringLiteral("cut -d' ' -f6 /proc/$$/stat > \"$1.tmp\" && mv \"$1.tmp\" \"$1\""),
         QStringLiteral("sh"), out});
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(out) && t.elapsed() < 10000)
        QThread::msleep(5);
    EXPECT_EQ(box.readFile(QStringLiteral("detached")).trimmed(), QByteArray::number(pid));
    // No zombie stays behind once it has ended.
    while (QFile::exists(QStringLiteral("/proc/%1").arg(pid)) && t.elapsed() < 10000)
        QThread::msleep(5);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid)));
}

} // namespace

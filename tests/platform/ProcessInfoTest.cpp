// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvProcessInfo.h"

#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>

TEST(ProcessInfo, ModulePathIsThisTestExecutable) {
    const QFileInfo exe(zv::modulePath());
    EXPECT_TRUE(exe.isExecutable());
    EXPECT_EQ(exe.fileName(), QStringLiteral("test_platform"));
    EXPECT_EQ(zv::moduleDir(), exe.absolutePath());
}

TEST(ProcessInfo, DebugOutputWritesWholeLinesToStandardError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(fds[1], STDERR_FILENO);
        zv::debugOutput(QStringLiteral("first \u00e9"));
        zv::debugOutput(QStringLiteral("second\n"));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(out, QByteArray("first \xc3\xa9\nsecond\n"));
}

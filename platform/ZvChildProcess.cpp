// SPDX-License-Identifier: MIT
#include "ZvChildProcess.h"

#include "ZvSystemMessage.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <thread>
#include <vector>

#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace zv {

namespace {

pid_t spawn(const QString &program, const QStringList &arguments, bool newSession) {
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    const int rc = program.contains(QLatin1Char('/'))
                       ? ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ)
                       : ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw ZvProcessError(program, rc);
    return pid;
}

void reapInBackground(pid_t pid) {
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Blocks until the child can be collected or the time is up; false on time-out.
bool waitReadable(pid_t pid, int timeoutMs) {
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int rc;
        do
            rc = ::poll(&p, 1, timeoutMs);
        while (rc < 0 && errno == EINTR);
        ::close(pidfd);
        return rc > 0;
    }
    // Kernels without pidfd: poll the child's state.
    QElapsedTimer t;
    t.start();
    while (timeoutMs < 0 || t.elapsed() < timeoutMs) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid)
            return true;
        ::usleep(2000);
    }
    return false;
}

} // namespace

ZvProcessError::ZvProcessError(const QString &program, int errorCode)
    : ZvError(QStringLiteral("Cannot start %1: %2").arg(program, systemErrorMessage(errorCode))),
      m_errorCode(errorCode) {}

std::unique_ptr<ZvChildProcess> ZvChildProcess::start(const QString &program,
                                                      const QStringList &arguments) {
    return std::unique_ptr<ZvChildProcess>(new ZvChildProcess(spawn(program, arguments, false)));
}

pid_t ZvChildProcess::startDetached(const QString &program, const QStringList &arguments) {
    const pid_t pid = spawn(program, arguments, true);
    reapInBackground(pid);
    return pid;
}

ZvChildProcess::~ZvChildProcess() {
    if (!m_ended && !collect(WNOHANG))
        reapInBackground(m_pid);
}

bool ZvChildProcess::collect(int options) {
    int status = 0;
    pid_t rc;
    do
        rc = ::waitpid(m_pid, &status, options);
    while (rc < 0 && errno == EINTR);
    if (rc != m_pid)
        return false;
    m_ended = true;
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool ZvChildProcess::wait(int timeoutMs) {
    if (m_ended)
        return true;
    if (collect(WNOHANG))
        return true;
    if (timeoutMs == 0 || !waitReadable(m_pid, timeoutMs))
        return collect(WNOHANG);
    return collect(0);
}

} // namespace zv

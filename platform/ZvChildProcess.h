// SPDX-License-Identifier: MIT
// Starting other programs (posix_spawn): wait for them with a time limit and read their
// exit code, or start them detached.
#pragma once

#include "ZvError.h"

#include <QString>
#include <QStringList>

#include <memory>

#include <sys/types.h>

namespace zv {

// A program that could not be started; errorCode() is the errno value (ENOENT, 2, when the
// program file does not exist, EACCES when it is not executable).
class ZvProcessError : public ZvError {
public:
    ZvProcessError(const QString &program, int errorCode);
    int errorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

// A started child process. The child inherits the environment but no open descriptors beyond
// standard input, output and error, and starts with default signal handling.
class ZvChildProcess {
public:
    // The exit code reported while the process still runs.
    static constexpr int kStillActive = 259;

    // program is a path, or a bare name looked up in PATH.
    static std::unique_ptr<ZvChildProcess> start(const QString &program,
                                                 const QStringList &arguments = {});
    // Starts the program in a session of its own and lets it run on; returns its process id.
    static pid_t startDetached(const QString &program, const QStringList &arguments = {});

    // A child that still runs is left running (and reaped in the background when it ends).
    ~ZvChildProcess();
    ZvChildProcess(const ZvChildProcess &) = delete;
    ZvChildProcess &operator=(const ZvChildProcess &) = delete;

    pid_t pid() const { return m_pid; }
    // Waits up to timeoutMs (negative: no limit); true when the process has ended.
    bool wait(int timeoutMs);
    bool hasEnded() const { return m_ended; }
    // The exit status; 128 + the signal number when a signal ended it; kStillActive while it runs.
    int exitCode() const { return m_exitCode; }

private:
    explicit ZvChildProcess(pid_t pid) : m_pid(pid) {}
    bool collect(int options);

    pid_t m_pid;
    bool m_ended = false;
    int m_exitCode = kStillActive;
};

} // namespace zv

// SPDX-License-Identifier: MIT
// Named auto-reset events shared between processes, kept as POSIX named semaphores under the
// same names as sections ("Global\Zorvant Client Update Trigger").
#pragma once

#include "ZvError.h"

#include <QString>

#include <memory>

#include <semaphore.h>
#include <sys/types.h>

namespace zv {

// An event that cannot be opened or created; errorCode() is the errno value.
class ZvEventError : public ZvError {
public:
    ZvEventError(const QString &name, int errorCode);
    int errorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

class ZvNamedEvent {
public:
    // Opens the event, creating it not signalled when missing (mode as given or by name).
    static std::unique_ptr<ZvNamedEvent> openOrCreate(const QString &name, mode_t mode = 0);
    // Opens an existing event only.
    static std::unique_ptr<ZvNamedEvent> open(const QString &name);
    // Removes the name; false when it did not exist.
    static bool unlink(const QString &name);

    ~ZvNamedEvent();
    ZvNamedEvent(const ZvNamedEvent &) = delete;
    ZvNamedEvent &operator=(const ZvNamedEvent &) = delete;

    // Sets the event. Signalling an event that is already set changes nothing.
    void signal();
    // Waits until the event is set, up to timeoutMs (negative: no limit), and resets it, so
    // one waiter consumes any number of signals given meanwhile. False on time-out.
    bool wait(int timeoutMs);
    bool isSignalled() const;

private:
    explicit ZvNamedEvent(sem_t *sem) : m_sem(sem) {}
    void drain();

    sem_t *m_sem;
};

} // namespace zv

// SPDX-License-Identifier: MIT
#include "ZvNamedEvent.h"

#include "ZvSharedSection.h"
#include "ZvSystemMessage.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace zv {

namespace {

timespec deadlineAfter(int timeoutMs) {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += timeoutMs / 1000;
    t.tv_nsec += long(timeoutMs % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

} // namespace

ZvEventError::ZvEventError(const QString &name, int errorCode)
    : ZvError(QStringLiteral("Cannot open the event \"%1\": %2")
                  .arg(name, systemErrorMessage(errorCode))),
      m_errorCode(errorCode) {}

std::unique_ptr<ZvNamedEvent> ZvNamedEvent::openOrCreate(const QString &name, mode_t mode) {
    const QByteArray object = posixObjectName(name);
    const mode_t wanted = mode ? mode : defaultObjectMode(name);
    sem_t *sem = ::sem_open(object.constData(), O_CREAT | O_EXCL, wanted, 0u);
    if (sem != SEM_FAILED) {
        // The umask narrowed the mode; glibc keeps named semaphores as /dev/shm/sem.<name>.
        ::chmod(("/dev/shm/sem." + object.mid(1)).constData(), wanted);
    } else if (errno == EEXIST) {
        return open(name);
    } else {
        throw ZvEventError(name, errno);
    }
    return std::unique_ptr<ZvNamedEvent>(new ZvNamedEvent(sem));
}

std::unique_ptr<ZvNamedEvent> ZvNamedEvent::open(const QString &name) {
    sem_t *sem = ::sem_open(posixObjectName(name).constData(), 0);
    if (sem == SEM_FAILED)
        throw ZvEventError(name, errno);
    return std::unique_ptr<ZvNamedEvent>(new ZvNamedEvent(sem));
}

bool ZvNamedEvent::unlink(const QString &name) {
    return ::sem_unlink(posixObjectName(name).constData()) == 0;
}

ZvNamedEvent::~ZvNamedEvent() {
    ::sem_close(m_sem);
}

void ZvNamedEvent::signal() {
    // Two signallers may both see 0 and post; a waiter drains the extra count.
    if (!isSignalled())
        ::sem_post(m_sem);
}

bool ZvNamedEvent::isSignalled() const {
    int value = 0;
    return ::sem_getvalue(m_sem, &value) == 0 && value > 0;
}

bool ZvNamedEvent::wait(int timeoutMs) {
    int rc;
    if (timeoutMs < 0) {
        do
            rc = ::sem_wait(m_sem);
        while (rc != 0 && errno == EINTR);
    } else {
        const timespec deadline = deadlineAfter(timeoutMs);
        do
            rc = ::sem_clockwait(m_sem, CLOCK_MONOTONIC, &deadline);
        while (rc != 0 && errno == EINTR);
    }
    if (rc != 0)
        return false;
    drain();
    return true;
}

void ZvNamedEvent::drain() {
    while (::sem_trywait(m_sem) == 0) {
    }
}

} // namespace zv

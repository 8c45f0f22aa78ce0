// SPDX-License-Identifier: MIT
#include "FileLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

// What the fatal-signal handler may read of a sink: plain atomics in static storage, so that
// it needs no lock and no allocation.
struct TFileLogCrashSlot {
    std::atomic<bool> used{false};
    std::atomic<int> fd{-1};
    std::atomic<char *> data{nullptr};
    std::atomic<size_t> length{0}; // bytes of whole lines in data
};

namespace {

constexpr int maxOpenAttempts = 20;
constexpr int crashSlotCount = 64;
TFileLogCrashSlot crashSlots[crashSlotCount];

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL};
struct sigaction previousActions[NSIG];

// Writes all of data, going on after short writes. Async-signal-safe.
bool writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Saves what the sinks still hold, then lets the signal take its previous course.
void onFatalSignal(int signal) {
    const int savedErrno = errno;
    for (TFileLogCrashSlot &slot : crashSlots) {
        if (!slot.used.load(std::memory_order_acquire))
            continue;
        const char *data = slot.data.load(std::memory_order_acquire);
        const size_t length = slot.length.exchange(0, std::memory_order_acq_rel);
        const int fd = slot.fd.load(std::memory_order_acquire);
        if (data && length > 0 && fd >= 0)
            writeAll(fd, data, length);
    }
    ::sigaction(signal, &previousActions[signal], nullptr);
    errno = savedErrno;
    // Delivered with the previous disposition as soon as this handler returns.
    ::raise(signal);
}

void flushAllAtExit() {
    TZvFileLog::flushAll();
}

void installProcessHooks() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_ONSTACK;
        for (int signal : fatalSignals)
            ::sigaction(signal, &action, &previousActions[signal]);
        std::atexit(flushAllAtExit);
    });
}

TFileLogCrashSlot *claimCrashSlot(char *buffer) {
    for (TFileLogCrashSlot &slot : crashSlots) {
        bool expected = false;
        if (slot.used.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
            slot.length.store(0, std::memory_order_relaxed);
            slot.fd.store(-1, std::memory_order_relaxed);
            slot.data.store(buffer, std::memory_order_release);
            return &slot;
        }
    }
    return nullptr;
}

void releaseCrashSlot(TFileLogCrashSlot *slot) {
    slot->data.store(nullptr, std::memory_order_release);
    slot->length.store(0, std::memory_order_relaxed);
    slot->fd.store(-1, std::memory_order_relaxed);
    slot->used.store(false, std::memory_order_release);
}

// Every live file sink, for the flush at the next event-loop turn and at exit. Never
// destroyed, so that the exit flush finds it whatever the order of static destruction.
struct TSinkRegistry {
    std::mutex lock;
    std::vector<TZvFileLog *> sinks;
};

TSinkRegistry &registry() {
    static TSinkRegistry *const instance = new TSinkRegistry;
    return *instance;
}

bool threadRunsEventLoop() {
    if (!QCoreApplication::instance())
        return false;
    // A thread's QThread object lives as long as the thread.
    thread_local const QThread *const thread = QThread::currentThread();
    return thread && thread->loopLevel() > 0;
}

// One posted flush per thread and batch: lines logged until the loop turns share it.
thread_local bool flushArmed = false;

void armFlushAtNextTurn() {
    if (flushArmed)
        return;
    flushArmed = true;
    QTimer::singleShot(0, [] {
        flushArmed = false;
        TZvFileLog::flushAll();
    });
}

// The line and its CR LF in one call, so that with O_APPEND the record lands whole.
void writeRecord(int fd, const QByteArray &line) {
    static const char lineEnd[] = "\r\n";
    iovec parts[2] = {{const_cast<char *>(line.constData()), size_t(line.size())},
                      {const_cast<char *>(lineEnd), 2}};
    size_t left = parts[0].iov_len + parts[1].iov_len;
    iovec *next = parts;
    int count = 2;
    while (left > 0) {
        const ssize_t n = ::writev(fd, next, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        left -= size_t(n);
        // A short write: go on with what is left.
        size_t done = size_t(n);
        while (count > 0 && done >= next->iov_len) {
            done -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char *>(next->iov_base) + done;
            next->iov_len -= done;
        }
    }
}

} // namespace

TZvFileLog::TZvFileLog(const QString &path, bool restart, TClassData &holder)
    : TZvLog(path, holder), m_restart(restart), m_buffer(new char[size_t(bufferBound)]) {
    installProcessHooks();
    m_crashSlot = claimCrashSlot(m_buffer.get());
    TSinkRegistry &sinks = registry();
    std::lock_guard guard(sinks.lock);
    sinks.sinks.push_back(this);
}

TZvFileLog::~TZvFileLog() {
    detach();
    {
        TSinkRegistry &sinks = registry();
        std::lock_guard guard(sinks.lock);
        sinks.sinks.erase(std::remove(sinks.sinks.begin(), sinks.sinks.end(), this),
                          sinks.sinks.end());
    }
    flush();
    if (m_crashSlot)
        releaseCrashSlot(m_crashSlot);
    close();
}

bool TZvFileLog::open() {
    for (int attempt = 1; attempt <= maxOpenAttempts; ++attempt) {
        const QByteArray file = QFile::encodeName(name());
        // O_APPEND: every line goes to the end even when another process writes too.
        int flags = O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC;
        if (m_restart)
            flags |= O_TRUNC;
        const int fd = ::open(file.constData(), flags, 0666);
        if (fd >= 0) {
            m_fd = fd;
            struct stat st {};
            m_fileSize = ::fstat(fd, &st) == 0 ? quint64(st.st_size) : 0;
            if (m_crashSlot)
                m_crashSlot->fd.store(fd, std::memory_order_release);
            return true;
        }
        setName(LogChangedPath(name(), attempt));
    }
    return false;
}

void TZvFileLog::close() {
    if (m_crashSlot)
        m_crashSlot->fd.store(-1, std::memory_order_release);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TZvFileLog::rollOver() {
    close();
    const QByteArray file = QFile::encodeName(name());
    const QByteArray old = file + ".2";
    // rename() replaces an existing ".2" in one step.
    ::rename(file.constData(), old.constData());
}

qsizetype TZvFileLog::buffered() const {
    return m_crashSlot ? qsizetype(m_crashSlot->length.load(std::memory_order_relaxed)) : 0;
}

// Called under the holder's lock.
void TZvFileLog::writeBuffer() {
    const qsizetype length = buffered();
    if (length == 0 || m_fd < 0)
        return;
    if (writeAll(m_fd, m_buffer.get(), size_t(length)))
        m_fileSize += quint64(length);
    // A line that cannot be written is dropped, as an unbuffered write would have lost it.
    m_crashSlot->length.store(0, std::memory_order_release);
    // Other writers of the file count for the roll-over from here on.
    struct stat st {};
    if (holder().maxFileSize() != 0 && ::fstat(m_fd, &st) == 0)
        m_fileSize = quint64(st.st_size);
}

// Called under the holder's lock, with the file open.
void TZvFileLog::append(const QByteArray &line) {
    const qsizetype record = line.size() + 2;
    if (!m_crashSlot || record > bufferBound) {
        writeBuffer();
        writeRecord(m_fd, line);
        m_fileSize += quint64(record);
        struct stat st {};
        if (holder().maxFileSize() != 0 && ::fstat(m_fd, &st) == 0)
            m_fileSize = quint64(st.st_size);
        return;
    }
    if (buffered() + record > bufferBound)
        writeBuffer();
    const qsizetype used = buffered();
    char *end = m_buffer.get() + used;
    std::memcpy(end, line.constData(), size_t(line.size()));
    end[line.size()] = '\r';
    end[line.size() + 1] = '\n';
    // The crash handler sees the line only once it is whole.
    m_crashSlot->length.store(size_t(used + record), std::memory_order_release);
}

void TZvFileLog::write(const QByteArray &line) {
    writeEntry(line, lkInformation);
}

void TZvFileLog::writeEntry(const QByteArray &line, quint32 kind) {
    if (m_fd < 0 && !open())
        return;
    append(line);
    appended(kind);
}

bool TZvFileLog::writeLatin1Entry(QLatin1StringView line, quint32 kind) {
    // Escaped straight into the buffer when it has room for the longest the line can become;
    // otherwise the line takes the common way, which writes the buffer first.
    if (!m_crashSlot || LogEscapedBound(line.size()) + 2 > bufferBound - buffered())
        return false;
    if (m_fd < 0 && !open())
        return true;
    const qsizetype used = buffered();
    char *end = m_buffer.get() + used;
    const qsizetype length = LogEscapeInto(end, line);
    end[length] = '\r';
    end[length + 1] = '\n';
    // The crash handler sees the line only once it is whole.
    m_crashSlot->length.store(size_t(used + length + 2), std::memory_order_release);
    appended(kind);
    return true;
}

void TZvFileLog::appended(quint32 kind) {
    const bool now = (kind & lkError) || !threadRunsEventLoop();
    if (now)
        writeBuffer();
    const quint64 limit = holder().maxFileSize();
    if (limit != 0 && m_fileSize + quint64(buffered()) >= limit) {
        writeBuffer();
        if (m_fileSize >= limit)
            rollOver();
        return;
    }
    if (!now && buffered() > 0)
        armFlushAtNextTurn();
}

void TZvFileLog::flush() {
    const std::unique_lock guard = lockHolder();
    writeBuffer();
}

void TZvFileLog::flushAll() {
    TSinkRegistry &sinks = registry();
    std::lock_guard guard(sinks.lock);
    for (TZvFileLog *sink : sinks.sinks)
        sink->flush();
}

// SPDX-License-Identifier: MIT
#include "FileLog.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int maxOpenAttempts = 20;

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
    : TZvLog(path, holder), m_restart(restart) {}

TZvFileLog::~TZvFileLog() {
    detach();
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
            return true;
        }
        setName(LogChangedPath(name(), attempt));
    }
    return false;
}

void TZvFileLog::close() {
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

void TZvFileLog::write(const QByteArray &line) {
    if (m_fd < 0 && !open())
        return;
    writeRecord(m_fd, line);
    const quint64 limit = holder().maxFileSize();
    if (limit == 0)
        return;
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && quint64(st.st_size) >= limit)
        rollOver();
}

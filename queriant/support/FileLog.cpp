// SPDX-License-Identifier: MIT
#include "FileLog.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxOpenAttempts = 20;

bool writeAll(int fd, const char *data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
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
        int flags = O_RDWR | O_CREAT | O_CLOEXEC;
        if (m_restart)
            flags |= O_TRUNC;
        const int fd = ::open(file.constData(), flags, 0666);
        if (fd >= 0) {
            m_fd = fd;
            ::lseek(m_fd, 0, SEEK_END);
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
    ::lseek(m_fd, 0, SEEK_END);
    QByteArray record;
    record.reserve(line.size() + 2);
    record.append(line);
    record.append("\r\n");
    writeAll(m_fd, record.constData(), record.size());
    const quint64 limit = holder().maxFileSize();
    if (limit == 0)
        return;
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && quint64(st.st_size) >= limit)
        rollOver();
}

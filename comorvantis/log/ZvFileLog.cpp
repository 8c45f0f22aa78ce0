// SPDX-License-Identifier: MIT
#include "ZvFileLog.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ZvFileLog::ZvFileLog(const QString &path, quint32 maxFileSizeMiB)
    : ZvLog(path), m_maxMiB(maxFileSizeMiB) {}

ZvFileLog::~ZvFileLog() {
    close();
}

QByteArray ZvFileLog::encodeLine(const QString &text) {
    QByteArray bytes = text.toLocal8Bit();
    bytes.replace("\n", "\r\n");
    return bytes;
}

bool ZvFileLog::ensureOpen() {
    if (m_fd >= 0)
        return true;
    m_fd = ::open(QFile::encodeName(name()).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                  0644);
    return m_fd >= 0;
}

void ZvFileLog::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void ZvFileLog::rollOver() {
    close();
    const QByteArray path = QFile::encodeName(name());
    const QByteArray backup = path + ".bak";
    // A read-only backup is made writable first, as far as the owner may.
    struct stat st {};
    if (::stat(backup.constData(), &st) == 0 && !(st.st_mode & S_IWUSR))
        ::chmod(backup.constData(), st.st_mode | S_IWUSR);
    ::rename(path.constData(), backup.constData());
}

void ZvFileLog::write(ZvLogKind, int, const QString &text) {
    if (!ensureOpen())
        return;
    const off_t start = ::lseek(m_fd, 0, SEEK_END);
    if (start < 0) {
        close();
        return;
    }
    const QByteArray bytes = encodeLine(text);
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n <= 0) {
            close();
            return;
        }
        p += n;
        left -= n;
    }
    const qint64 end = qint64(start) + bytes.size();
    if (qint64(start) >= HardLimit || (m_maxMiB != 0 && end >= qint64(m_maxMiB) * MiB))
        rollOver();
}

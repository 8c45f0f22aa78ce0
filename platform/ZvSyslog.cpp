// SPDX-License-Identifier: MIT
#include "ZvSyslog.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zv {

namespace {

// Record time stamps use English month names whatever the locale.
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QByteArray twoDigits(int v, char pad) {
    QByteArray s = QByteArray::number(v);
    return s.size() < 2 ? pad + s : s;
}

} // namespace

ZvSyslog::ZvSyslog(const QString &ident, int facility)
    : m_ident(ident.toUtf8()), m_facility(facility) {
    const QByteArray over = qgetenv("ZORVANT_SYSLOG_SOCKET");
    m_socketPath = over.isEmpty() ? QByteArray("/dev/log") : over;
}

ZvSyslog::~ZvSyslog() {
    closeSocket();
}

QByteArray ZvSyslog::formatRecord(int facility, Severity severity, const QDateTime &localTime,
                                  const QByteArray &ident, pid_t pid, const QString &message) {
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    QByteArray r = '<' + QByteArray::number((facility & LOG_FACMASK) | int(severity)) + '>';
    r += QByteArray(kMonths[d.month() - 1]) + ' ' + twoDigits(d.day(), ' ') + ' ' +
         twoDigits(t.hour(), '0') + ':' + twoDigits(t.minute(), '0') + ':' +
         twoDigits(t.second(), '0') + ' ';
    r += ident + '[' + QByteArray::number(pid) + "]: " + message.toUtf8();
    return r;
}

bool ZvSyslog::connectSocket() {
    if (m_fd >= 0)
        return true;
    sockaddr_un addr{};
    if (size_t(m_socketPath.size()) >= sizeof addr.sun_path)
        return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, m_socketPath.constData(), size_t(m_socketPath.size()));
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        closeSocket();
        return false;
    }
    return true;
}

void ZvSyslog::closeSocket() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void ZvSyslog::write(Severity severity, const QString &message) {
    const QByteArray record = formatRecord(m_facility, severity, QDateTime::currentDateTime(),
                                           m_ident, ::getpid(), message);
    const std::lock_guard guard(m_lock);
    // A log daemon that restarted leaves the old connection dead: connect again once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connectSocket())
            return;
        ssize_t n;
        do
            n = ::send(m_fd, record.constData(), size_t(record.size()), MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        if (n >= 0)
            return;
        closeSocket();
    }
}

} // namespace zv

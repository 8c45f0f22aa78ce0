// SPDX-License-Identifier: MIT
// The system log (the counterpart of the event log): one record per call, sent as a datagram
// to the local syslog socket (/dev/log; ZORVANT_SYSLOG_SOCKET overrides it), where journald
// or a syslog daemon picks it up under the given ident.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <mutex>

#include <sys/types.h>
#include <syslog.h>

namespace zv {

class ZvSyslog {
public:
    enum class Severity { Error = LOG_ERR, Warning = LOG_WARNING, Information = LOG_INFO };

    // ident is the service name records carry.
    explicit ZvSyslog(const QString &ident, int facility = LOG_DAEMON);
    ~ZvSyslog();
    ZvSyslog(const ZvSyslog &) = delete;
    ZvSyslog &operator=(const ZvSyslog &) = delete;

    // Never fails: without a log socket the record is dropped, as syslog(3) does. Safe to call
    // from several threads.
    void write(Severity severity, const QString &message);

    // The record as sent: "<priority>Mmm dd hh:mm:ss ident[pid]: message".
    static QByteArray formatRecord(int facility, Severity severity, const QDateTime &localTime,
                                   const QByteArray &ident, pid_t pid, const QString &message);

private:
    bool connectSocket();
    void closeSocket();

    QByteArray m_ident;
    int m_facility;
    QByteArray m_socketPath;
    int m_fd = -1;
    std::mutex m_lock;
};

} // namespace zv

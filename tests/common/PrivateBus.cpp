// SPDX-License-Identifier: MIT
#include "PrivateBus.h"

#include <QProcess>
#include <QStringList>

#include <csignal>
#include <stdexcept>

namespace zvtest {

PrivateBus::PrivateBus(const QProcessEnvironment &environment, const QString &configFile) {
    QProcess daemon;
    daemon.setProcessEnvironment(environment);
    daemon.start(QStringLiteral("dbus-daemon"),
                 {configFile.isEmpty() ? QStringLiteral("--session")
                                       : QStringLiteral("--config-file=") + configFile,
                  QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1"),
                  QStringLiteral("--fork")});
    if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
        throw std::runtime_error("dbus-daemon did not start");
    const QStringList lines = QString::fromUtf8(daemon.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 2)
        throw std::runtime_error("dbus-daemon printed no address");
    m_address = lines.at(0).trimmed();
    m_pid = lines.at(1).trimmed().toLongLong();
}

PrivateBus::~PrivateBus() {
    if (m_pid > 0)
        ::kill(pid_t(m_pid), SIGTERM);
}

QDBusConnection PrivateBus::connect(const QString &connectionName) const {
    return QDBusConnection::connectToBus(m_address, connectionName);
}

void PrivateBus::disconnect(const QString &connectionName) const {
    QDBusConnection::disconnectFromBus(connectionName);
}

} // namespace zvtest

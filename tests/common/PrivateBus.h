// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>

namespace zvtest {

// A dbus-daemon of the test's own (a session bus, or one run from a configuration file of the
// test's), stopped when the object goes, so that no test reaches the real buses.
class PrivateBus {
public:
    // environment: what the daemon (and the services it activates) runs with.
    explicit PrivateBus(
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QString &configFile = QString());
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    const QString &address() const { return m_address; }
    // A client connection of its own (a distinct unique name on the bus).
    QDBusConnection connect(const QString &connectionName) const;
    void disconnect(const QString &connectionName) const;

private:
    QString m_address;
    qint64 m_pid = 0;
};

} // namespace zvtest

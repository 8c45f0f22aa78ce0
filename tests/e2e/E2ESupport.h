// SPDX-License-Identifier: MIT
// Real surroundings for end-to-end tests: a private session bus, a virtual X display, and
// xdotool acting as the user.
#pragma once

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace e2e {

QString binPath(const QString &program);

// dbus-daemon --session of its own, stopped when the object goes.
class PrivateBus {
public:
    // environment: what the daemon (and the services it activates) runs with.
    explicit PrivateBus(const QProcessEnvironment &environment);
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    const QString &address() const { return m_address; }
    QDBusConnection connect(const QString &connectionName) const;

private:
    QString m_address;
    qint64 m_pid = 0;
};

// Xvfb on a free display number, stopped when the object goes.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    const QString &name() const { return m_name; } // ":93"
    // Runs xdotool on this display; its standard output, or nothing when it failed.
    std::optional<QString> xdotool(const QStringList &arguments, int timeoutMs = 15000) const;
    // Waits for the client's window, gives it the input focus; false when none showed.
    bool focusClientWindow(int timeoutMs = 15000) const;
    // Types text and presses Return into the focused window.
    bool typeLine(const QString &text) const;

private:
    QString m_name;
    qint64 m_pid = 0;
};

bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
bool processAlive(qint64 pid);

} // namespace e2e

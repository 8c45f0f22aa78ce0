// SPDX-License-Identifier: MIT
// Real surroundings for end-to-end tests: a private session bus, a virtual X display, and
// xdotool acting as the user.
#pragma once

#include "PrivateBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace e2e {

QString binPath(const QString &program);

using PrivateBus = zvtest::PrivateBus;

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
    bool focusClientWindow(int timeoutMs = 30000) const;
    // Types text and presses Return into the focused window.
    bool typeLine(const QString &text) const;

private:
    std::unique_ptr<QProcess> m_server;
    QString m_name;
};

bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
bool processAlive(qint64 pid);

} // namespace e2e

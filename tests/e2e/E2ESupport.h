// SPDX-License-Identifier: MIT
// Real surroundings for end-to-end tests: a private session bus, a virtual X display with
// xdotool acting as the user, a Wayland compositor with the accessibility bus acting for him.
#pragma once

#include "PrivateBus.h"

#include <QDBusConnection>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// A headless Wayland compositor (weston) with a runtime directory and socket of its own,
// stopped when the object goes. It has no seat and offers no xdg-activation: no window can
// take the keyboard focus, a request to come to the front is refused.
class WaylandCompositor {
public:
    WaylandCompositor();
    ~WaylandCompositor();
    WaylandCompositor(const WaylandCompositor &) = delete;
    WaylandCompositor &operator=(const WaylandCompositor &) = delete;

    // base with what a Qt client of this compositor needs, and no X display.
    QProcessEnvironment clientEnvironment(QProcessEnvironment base) const;

private:
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
    std::unique_ptr<QProcess> m_server;
};

// Runs tests/e2e/a11y-answer on the accessibility bus of that session bus: the window with
// that title gets the texts in its edit boxes, in order, then the button is pressed. Its
// output, or nothing when it failed (the reason then goes to the test's log).
std::optional<QString> answerOverAccessibility(const QString &sessionBus, const QString &window,
                                               const QStringList &texts, const QString &button);

// Whether the accessibility bus and its Python bindings are installed; the reason when not.
std::optional<QString> accessibilityMissing();

// Runs tests/e2e/a11y-read on the accessibility bus of that session bus for the window with
// that title, with its keyboard steps on that X display. Its report, or nothing when it did not
// print one; a report whose "error" is set says which step failed.
std::optional<QJsonObject> readOverAccessibility(const QString &sessionBus, const QString &display,
                                                 const QString &window, const QStringList &steps);

// dunst, the desktop's notification server, on a display and a private bus; dunstctl acts as
// the user and reads back what was shown. Stopped when the object goes.
class NotificationServer {
public:
    // A notification as dunst keeps it once it is gone from the screen.
    struct Shown {
        QString appName;
        QString summary;
        QString body;
        int timeoutMs = 0;
    };

    // configDir: where its configuration file goes.
    NotificationServer(const VirtualDisplay &display, const PrivateBus &bus,
                       const QString &configDir);
    ~NotificationServer();
    NotificationServer(const NotificationServer &) = delete;
    NotificationServer &operator=(const NotificationServer &) = delete;

    // dunstctl's output, or nothing when it failed.
    std::optional<QString> dunstctl(const QStringList &arguments) const;
    int displayed() const;
    // Newest first.
    QList<Shown> history() const;
    // Waits until n notifications are on the screen.
    bool waitForDisplayed(int n, int timeoutMs = 15000) const;

private:
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_server;
};

bool waitUntil(const std::function<bool()> &condition, int timeoutMs);
bool processAlive(qint64 pid);
// Asks the process to end, kills it when it does not.
void stopProcess(QProcess &process);

} // namespace e2e

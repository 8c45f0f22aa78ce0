// SPDX-License-Identifier: MIT
// Whether a window that asked to come to the front got there. A desktop may refuse: a Wayland
// compositor without xdg-activation or with focus-stealing prevention, an X11 window manager
// with rules of its own. The window then waits behind others or unfocused, and the user has to
// be told some other way.
#pragma once

#include <QTimer>

#include <functional>

class TForegroundWatch {
public:
    // Long enough for a compositor's round trip and the window manager's decision.
    static constexpr int DefaultGraceMs = 1500;

    // isActive: whether the window holds the activation now. onRefused runs when a request
    // was not granted within the grace.
    TForegroundWatch(std::function<bool()> isActive, std::function<void()> onRefused,
                     int graceMs = DefaultGraceMs);

    // An activation was asked for; the grace starts (again).
    void Requested();
    // The window became active: the pending request needs no more watching.
    void Activated();
    void Stop();
    bool Waiting() const { return m_timer.isActive(); }

private:
    void graceOver();

    QTimer m_timer;
    std::function<bool()> m_isActive;
    std::function<void()> m_onRefused;
};

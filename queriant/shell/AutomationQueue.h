// SPDX-License-Identifier: MIT
// The order in which automation calls are served: one job at a time, the others waiting in
// arrival order, and the callers known until they leave the bus.
#pragma once

#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

struct TPendingCall {
    QString caller; // unique bus name of the caller
    QString request;
    std::function<void(const QString &answer)> reply;
    std::function<void(const QString &message)> fail;
};

class TAutomationQueue {
public:
    ~TAutomationQueue();

    void Add(TPendingCall call);
    // Moves the oldest waiting call into service and returns it; nothing when a call is in
    // service already or none waits.
    TPendingCall *StartNext();
    TPendingCall *Current() { return m_current ? &*m_current : nullptr; }
    // Ends the call in service (its request is wiped).
    void FinishCurrent();
    qsizetype Waiting() const { return qsizetype(m_waiting.size()); }

    // Forgets a caller that left the bus and drops its waiting calls. True when the call in
    // service is that caller's.
    bool CallerLeft(const QString &caller);
    bool HasCallers() const { return !m_callers.isEmpty(); }
    bool IsKnownCaller(const QString &caller) const { return m_callers.contains(caller); }

private:
    std::deque<TPendingCall> m_waiting;
    std::optional<TPendingCall> m_current;
    QSet<QString> m_callers;
};

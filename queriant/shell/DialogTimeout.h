// SPDX-License-Identifier: MIT
// The dialog time-out of a job: armed for the manager's time-out plus two seconds when the
// job starts, started over by every activity, and ending the job when it runs out.
#pragma once

#include <QTimer>

#include <functional>
#include <optional>

class TDialogTimeout {
public:
    // onTimeout runs once when the interval passes without activity; the timer is disabled
    // by then.
    explicit TDialogTimeout(std::function<void()> onTimeout);

    // (seconds + 2) x 1000 milliseconds, capped to what a timer can hold; nothing for 0 or
    // less (no time-out).
    static std::optional<int> IntervalFor(qint32 seconds);

    // Enables the timer for seconds; 0 or less leaves it as it is.
    void Arm(qint32 seconds);
    // When enabled, the full interval starts again.
    void Restart();
    void Stop();

    bool Enabled() const { return m_timer.isActive(); }
    int Interval() const { return m_timer.interval(); }
    int RemainingTime() const { return m_timer.remainingTime(); }

private:
    QTimer m_timer;
    std::function<void()> m_onTimeout;
};

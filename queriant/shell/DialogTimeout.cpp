// SPDX-License-Identifier: MIT
#include "DialogTimeout.h"

#include <limits>

TDialogTimeout::TDialogTimeout(std::function<void()> onTimeout)
    : m_onTimeout(std::move(onTimeout)) {
    m_timer.setSingleShot(true);
    // A coarse timer may end up to 5 % early; the user gets the whole time.
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        m_timer.stop();
        if (m_onTimeout)
            m_onTimeout();
    });
}

std::optional<int> TDialogTimeout::IntervalFor(qint32 seconds) {
    if (seconds <= 0)
        return std::nullopt;
    const qint64 ms = (qint64(seconds) + 2) * 1000;
    return int(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

void TDialogTimeout::Arm(qint32 seconds) {
    const std::optional<int> interval = IntervalFor(seconds);
    if (!interval)
        return;
    m_timer.start(*interval);
}

void TDialogTimeout::Restart() {
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_timer.start();
}

void TDialogTimeout::Stop() {
    m_timer.stop();
}

// SPDX-License-Identifier: MIT
#include "ForegroundWatch.h"

TForegroundWatch::TForegroundWatch(std::function<bool()> isActive, std::function<void()> onRefused,
                                   int graceMs)
    : m_isActive(std::move(isActive)), m_onRefused(std::move(onRefused)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(graceMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { graceOver(); });
}

void TForegroundWatch::Requested() {
    m_timer.start();
}

void TForegroundWatch::Activated() {
    m_timer.stop();
}

void TForegroundWatch::Stop() {
    m_timer.stop();
}

void TForegroundWatch::graceOver() {
    // The activation may have come without an event reaching us (it was active already).
    if (!m_isActive())
        m_onRefused();
}

// SPDX-License-Identifier: MIT
#include "AutomationQueue.h"

#include "SecureWipe.h"

#include <algorithm>

TAutomationQueue::~TAutomationQueue() {
    for (TPendingCall &call : m_waiting)
        zv::SecureWipe(call.request);
    if (m_current)
        zv::SecureWipe(m_current->request);
}

void TAutomationQueue::Add(TPendingCall call) {
    m_callers.insert(call.caller);
    m_waiting.push_back(std::move(call));
}

TPendingCall *TAutomationQueue::StartNext() {
    if (m_current || m_waiting.empty())
        return nullptr;
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    return &*m_current;
}

void TAutomationQueue::FinishCurrent() {
    if (!m_current)
        return;
    zv::SecureWipe(m_current->request);
    m_current.reset();
}

bool TAutomationQueue::CallerLeft(const QString &caller) {
    m_callers.remove(caller);
    const auto gone =
        std::stable_partition(m_waiting.begin(), m_waiting.end(),
                              [&](const TPendingCall &c) { return c.caller != caller; });
    for (auto it = gone; it != m_waiting.end(); ++it)
        zv::SecureWipe(it->request);
    m_waiting.erase(gone, m_waiting.end());
    return m_current && m_current->caller == caller;
}

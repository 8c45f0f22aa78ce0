// SPDX-License-Identifier: MIT
#include "Handler.h"

void TClientHandlers::Add(const QString &verb, THandlerProc handler) {
    m_entries.push_back({verb, std::move(handler)});
}

bool TClientHandlers::Remove(const QString &verb) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->Verb == verb) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

const TClientHandlers::THandlerProc *TClientHandlers::Find(const QString &verb) const {
    for (const TEntry &e : m_entries)
        if (e.Verb == verb)
            return &e.Handler;
    return nullptr;
}

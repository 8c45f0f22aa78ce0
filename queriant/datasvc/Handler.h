// SPDX-License-Identifier: MIT
// Verb handlers for packets that arrive without a request: verb names compare exactly.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class TZvComDecodePacket;

class TClientHandlers {
public:
    using THandlerProc = std::function<void(TZvComDecodePacket &)>;

    void Add(const QString &verb, THandlerProc handler);
    bool Remove(const QString &verb);
    // Null when no handler has this exact verb.
    const THandlerProc *Find(const QString &verb) const;
    int Count() const { return static_cast<int>(m_entries.size()); }

private:
    struct TEntry {
        QString Verb;
        THandlerProc Handler;
    };
    std::vector<TEntry> m_entries;
};

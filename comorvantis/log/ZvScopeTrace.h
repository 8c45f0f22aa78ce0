// SPDX-License-Identifier: MIT
// Logs entry to and exit from a function at a debug level, and names the function for the
// exception reporters.
#pragma once

#include "ZvComTypes.h"

#include <QString>

class ZvComError;

class ZvScopeTrace {
public:
    ZvScopeTrace(QString function, int level, quint32 category = 1);
    ~ZvScopeTrace();
    ZvScopeTrace(const ZvScopeTrace &) = delete;
    ZvScopeTrace &operator=(const ZvScopeTrace &) = delete;

    const QString &function() const { return m_function; }

    // Logs "[function] COM exception: text", passes the error information on as the thread's
    // and returns the failure code.
    zv::HRESULT reportComError(const ZvComError &error) const;
    // Logs "[function] Exception: text" and sets the thread's error information to the text
    // ("A general exception occurred." when there is none).
    void reportException(const QString &text) const;

private:
    QString m_function;
    int m_level;
    quint32 m_category;
};

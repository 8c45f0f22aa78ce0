// SPDX-License-Identifier: MIT
// The service's event source: its registration key under
// HKLM\System\CurrentControlSet\Services\EventLog\Application, and reports to the system log.
#pragma once

#include <QString>

class ZvEventLogHdl {
public:
    static QString sourceKeyPath(const QString &sourceName);

    // Creates (or opens) the source key and writes its values; false on a registry failure.
    bool registerSource(const QString &sourceName, const QString &executable);
    // Deletes the source key; false when it could not be deleted.
    bool removeSource(const QString &sourceName);
    // One information record in the system log under the source name.
    static void report(const QString &sourceName, const QString &text);

    const QString &lastError() const { return m_lastError; }

private:
    QString m_lastError;
};

// SPDX-License-Identifier: MIT
// Client of the database server, configured from HKLM "Software\Zorvant\Database Server"
// ("Host Address", "Port Name", "Timeout"), with the four requests the program uses. Every
// answer is a result table; the calls block the calling thread for at most the time-out per
// receive.
#pragma once

#include "ComClnt.h"

#include <optional>

class TZvComDBClient : public TZvComClient {
public:
    static constexpr const char *DefaultRegistryKey = "Software\\Zorvant\\Database Server";

    // Throws EZvComException "Database location not specified in Registry" when the key is
    // missing, "Database field not specified in Registry: ..." when a value is.
    TZvComDBClient(const QString &clientName, const QString &registryKey);

    // Columns: server.
    std::unique_ptr<TZvComTable> ServerList(quint32 count, const QString &serviceType = QString(),
                                            std::optional<qint32> number = std::nullopt);
    // Columns: port, timeout.
    std::unique_ptr<TZvComTable> ServiceTypeGet(const QString &name);
    // Columns: server, spoolq.
    std::unique_ptr<TZvComTable> SpoolqList(quint32 count, const QString &server = QString());
    std::unique_ptr<TZvComTable> SpoolqQGroupList(const QString &group);

private:
    struct TSettings;
    TZvComDBClient(const QString &clientName, const TSettings &settings);
};

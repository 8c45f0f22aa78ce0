// SPDX-License-Identifier: MIT
// What zvdbserver serves, read from a JSON file:
//
//   { "servers":      [ {"server": "PRT1", "service": "ZvPopupSvr", "number": 1} ],
//     "serviceTypes": [ {"name": "ZvPopupSvr", "port": "28203", "timeout": "30"} ],
//     "spoolqs":      [ {"server": "PRT1", "spoolq": "Mono", "group": "Floor 1"} ] }
//
// Names compare without regard to case, as a database would.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct DbTable {
    QStringList columns;
    std::vector<QStringList> rows;
};

class DbData {
public:
    // Empty error on success.
    static DbData load(const QString &path, QString &error);

    // The filters are applied when given.
    DbTable serverList(const std::optional<QString> &serviceType,
                       const std::optional<qint64> &number) const;
    DbTable serviceType(const QString &name) const;
    DbTable spoolqList(const std::optional<QString> &server) const;
    DbTable spoolqGroupList(const QString &group) const;

private:
    struct Server {
        QString server, service;
        qint64 number = 0;
    };
    struct ServiceType {
        QString name, port, timeout;
    };
    struct Spoolq {
        QString server, spoolq, group;
    };
    std::vector<Server> m_servers;
    std::vector<ServiceType> m_serviceTypes;
    std::vector<Spoolq> m_spoolqs;
};

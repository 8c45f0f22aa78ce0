// SPDX-License-Identifier: MIT
#include "DbData.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool same(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString text(const QJsonObject &o, const char *name) {
    const QJsonValue v = o.value(QLatin1String(name));
    return v.isDouble() ? QString::number(v.toInteger()) : v.toString();
}

} // namespace

DbData DbData::load(const QString &path, QString &error) {
    DbData data;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return data;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        error = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return data;
    }
    const QJsonObject root = doc.object();
    for (const QJsonValue &v : root.value(QLatin1String("servers")).toArray()) {
        const QJsonObject o = v.toObject();
        data.m_servers.push_back(
            {text(o, "server"), text(o, "service"), o.value(QLatin1String("number")).toInteger()});
    }
    for (const QJsonValue &v : root.value(QLatin1String("serviceTypes")).toArray()) {
        const QJsonObject o = v.toObject();
        data.m_serviceTypes.push_back({text(o, "name"), text(o, "port"), text(o, "timeout")});
    }
    for (const QJsonValue &v : root.value(QLatin1String("spoolqs")).toArray()) {
        const QJsonObject o = v.toObject();
        data.m_spoolqs.push_back({text(o, "server"), text(o, "spoolq"), text(o, "group")});
    }
    return data;
}

DbTable DbData::serverList(const std::optional<QString> &serviceType,
                           const std::optional<qint64> &number) const {
    DbTable t{{QStringLiteral("server"), QStringLiteral("service"), QStringLiteral("number")}, {}};
    for (const Server &s : m_servers) {
        if (serviceType && !same(s.service, *serviceType))
            continue;
        if (number && s.number != *number)
            continue;
        t.rows.push_back({s.server, s.service, QString::number(s.number)});
    }
    return t;
}

DbTable DbData::serviceType(const QString &name) const {
    DbTable t{{QStringLiteral("name"), QStringLiteral("port"), QStringLiteral("timeout")}, {}};
    for (const ServiceType &s : m_serviceTypes)
        if (same(s.name, name))
            t.rows.push_back({s.name, s.port, s.timeout});
    return t;
}

DbTable DbData::spoolqList(const std::optional<QString> &server) const {
    DbTable t{{QStringLiteral("server"), QStringLiteral("spoolq")}, {}};
    for (const Spoolq &q : m_spoolqs)
        if (!server || same(q.server, *server))
            t.rows.push_back({q.server, q.spoolq});
    return t;
}

DbTable DbData::spoolqGroupList(const QString &group) const {
    DbTable t{{QStringLiteral("server"), QStringLiteral("spoolq")}, {}};
    for (const Spoolq &q : m_spoolqs)
        if (same(q.group, group))
            t.rows.push_back({q.server, q.spoolq});
    return t;
}

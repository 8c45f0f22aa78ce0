// SPDX-License-Identifier: MIT
#include "BaseDBClient.h"

#include "ZvRegistry.h"

struct TZvComDBClient::TSettings {
    QString address = QStringLiteral("localhost");
    QString port = QStringLiteral("zvdbserver");
    int timeOut = 120;
    QString failure;
};

namespace {

class ERegistryField : public std::runtime_error {
public:
    explicit ERegistryField(const QString &text) : std::runtime_error("registry"), m_text(text) {}
    QString m_text;
};

QString requiredText(const zv::ZvRegKey &key, const QString &name, const char *field) {
    const QString text = key.readString(name).value_or(QString());
    if (text.isEmpty())
        throw ERegistryField(
            QStringLiteral("Failed to get data for '%1'").arg(QLatin1String(field)));
    return text;
}

} // namespace

TZvComDBClient::TZvComDBClient(const QString &clientName, const QString &registryKey)
    : TZvComDBClient(clientName, [&] {
          TSettings s;
          const auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, registryKey);
          if (!key) {
              s.failure = QStringLiteral("Database location not specified in Registry");
              return s;
          }
          try {
              s.address = requiredText(*key, QStringLiteral("Host Address"), "Address");
              s.port = requiredText(*key, QStringLiteral("Port Name"), "Port");
              // An absent time-out keeps the default; one of another type is a failure.
              if (const auto value = key->value(QStringLiteral("Timeout"))) {
                  if (value->type != zv::RegType::DWord)
                      throw ERegistryField(QStringLiteral("Invalid data type for 'Timeout'"));
                  s.timeOut = static_cast<int>(value->dword);
              }
          } catch (const ERegistryField &e) {
              s.failure =
                  QStringLiteral("Database field not specified in Registry: %1").arg(e.m_text);
          } catch (const zv::ZvError &e) {
              s.failure =
                  QStringLiteral("Database field not specified in Registry: %1").arg(e.message());
          }
          return s;
      }()) {}

TZvComDBClient::TZvComDBClient(const QString &clientName, const TSettings &settings)
    : TZvComClient(clientName, settings.timeOut, settings.port, QStringLiteral("ZvDatabaseSvr"),
                   QStringLiteral("Database Server"), settings.address) {
    if (!settings.failure.isEmpty())
        throw EZvComException(settings.failure);
}

std::unique_ptr<TZvComTable> TZvComDBClient::ServerList(quint32 count, const QString &serviceType,
                                                        std::optional<qint32> number) {
    auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("ServerList"));
    request->AddCardinal(count);
    if (count >= 1)
        request->AddString(serviceType);
    if (count > 1) {
        if (number)
            request->AddInteger(*number);
        else
            request->AddNull(zvcInteger32);
    }
    return Query(std::move(request));
}

std::unique_ptr<TZvComTable> TZvComDBClient::ServiceTypeGet(const QString &name) {
    auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("ServiceTypeGet"));
    request->AddString(name);
    return Query(std::move(request));
}

std::unique_ptr<TZvComTable> TZvComDBClient::SpoolqList(quint32 count, const QString &server) {
    auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("SpoolqList"));
    request->AddCardinal(count);
    if (count != 0)
        request->AddString(server);
    return Query(std::move(request));
}

std::unique_ptr<TZvComTable> TZvComDBClient::SpoolqQGroupList(const QString &group) {
    auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("SpoolqQGroupList"));
    request->AddString(group);
    return Query(std::move(request));
}

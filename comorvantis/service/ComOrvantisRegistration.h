// SPDX-License-Identifier: MIT
// The registration scripts of ComOrvantis: 101 (AppID) and 202 (class and ProgIDs), the type
// library key, the AppID's LocalService value, and the session-bus activation file that lets
// the bus start the server for a client. Registry failures throw zv::ZvRegistryError.
#pragma once

#include "ZvRegistry.h"

#include <optional>

namespace ComOrvantisIds {
inline const QString AppId = QStringLiteral("{5912CFF0-5714-44D6-A023-486F0E5354B2}");
inline const QString TypeLib = QStringLiteral("{59CCF180-4C4F-4472-ABE8-70E4EDC33E7C}");
inline const QString ClassId = QStringLiteral("{195B05A8-74E3-480A-A947-0AD9540DB009}");
inline const QString ProgId = QStringLiteral("ZorvantSystems.OrvantisController");
inline const QString VersionedProgId = QStringLiteral("ZorvantSystems.OrvantisController.1");
inline const QString ServiceName = QStringLiteral("Zorvant Systems ComOrvantis"); // string 100
inline const QString RootKey = QStringLiteral("SOFTWARE\\ZorvantSystems\\Core\\ComOrvantis"); // 102
inline const QString LogSourceName = QStringLiteral("ComOrvantis");                           // 103
} // namespace ComOrvantisIds

class ComOrvantisRegistration {
public:
    // ClassesRoot for the machine, UserClasses for the per-user switches.
    explicit ComOrvantisRegistration(zv::RegRoot classes) : m_classes(classes) {}

    void registerAppId() const;
    void unregisterAppId() const;
    void registerClass(const QString &modulePath) const;
    void unregisterClass() const;
    void registerTypeLib(const QString &helpDir) const;
    void unregisterTypeLib() const;
    void setLocalService(const QString &serviceName) const;
    void deleteLocalService() const;

    // The LocalService value as the classes root shows it (per-user keys first). nullopt with
    // *found false when the AppID key does not exist at all.
    static std::optional<QString> readLocalService(bool *found);

    // $XDG_DATA_HOME/dbus-1/services/com.zorvant.ComOrvantis.service
    static QString activationFilePath();
    static bool writeActivationFile(const QString &modulePath);
    static void removeActivationFile();

private:
    QString appIdKey() const;
    zv::RegRoot m_classes;
};

// SPDX-License-Identifier: MIT
#include "ComOrvantisRegistration.h"

#include "OrvantisDBusExports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

using namespace ComOrvantisIds;

namespace {
const QString kClassName = QStringLiteral("OrvantisController Class");
const QString kExeKey = QStringLiteral("AppID\\ComOrvantis.EXE");
} // namespace

QString ComOrvantisRegistration::appIdKey() const {
    return QStringLiteral("AppID\\") + AppId;
}

void ComOrvantisRegistration::registerAppId() const {
    zv::ZvRegKey::create(m_classes, appIdKey()).writeString(QString(), ServiceName);
    zv::ZvRegKey::create(m_classes, kExeKey).writeString(QStringLiteral("AppID"), AppId);
}

void ComOrvantisRegistration::unregisterAppId() const {
    zv::ZvRegKey::remove(m_classes, appIdKey());
    zv::ZvRegKey::remove(m_classes, kExeKey);
}

void ComOrvantisRegistration::registerClass(const QString &modulePath) const {
    const auto progIdKey = [&](const QString &progId) {
        const zv::ZvRegKey key = zv::ZvRegKey::create(m_classes, progId);
        key.writeString(QString(), kClassName);
        key.createSubKey(QStringLiteral("CLSID")).writeString(QString(), ClassId);
        return key;
    };
    progIdKey(VersionedProgId);
    progIdKey(ProgId)
        .createSubKey(QStringLiteral("CurVer"))
        .writeString(QString(), VersionedProgId);

    const QString classKey = QStringLiteral("CLSID\\") + ClassId;
    zv::ZvRegKey::remove(m_classes, classKey);
    const zv::ZvRegKey key = zv::ZvRegKey::create(m_classes, classKey);
    key.writeString(QString(), kClassName);
    key.writeString(QStringLiteral("AppID"), AppId);
    key.createSubKey(QStringLiteral("ProgID")).writeString(QString(), VersionedProgId);
    key.createSubKey(QStringLiteral("VersionIndependentProgID")).writeString(QString(), ProgId);
    key.createSubKey(QStringLiteral("Programmable"));
    key.createSubKey(QStringLiteral("LocalServer32"))
        .writeString(QString(), QLatin1Char('"') + modulePath + QLatin1Char('"'));
    key.createSubKey(QStringLiteral("TypeLib")).writeString(QString(), TypeLib);
}

void ComOrvantisRegistration::unregisterClass() const {
    zv::ZvRegKey::remove(m_classes, VersionedProgId);
    zv::ZvRegKey::remove(m_classes, ProgId);
    zv::ZvRegKey::remove(m_classes, QStringLiteral("CLSID\\") + ClassId);
}

void ComOrvantisRegistration::registerTypeLib(const QString &helpDir) const {
    const zv::ZvRegKey key =
        zv::ZvRegKey::create(m_classes, QStringLiteral("TypeLib\\%1\\1.0").arg(TypeLib));
    key.writeString(QString(), QStringLiteral("Zorvant Systems ComOrvantis 1.0 Type Library"));
    key.createSubKey(QStringLiteral("FLAGS")).writeString(QString(), QStringLiteral("0"));
    key.createSubKey(QStringLiteral("HELPDIR")).writeString(QString(), helpDir);
    // The interfaces are described by the D-Bus introspection of the controller's object.
    key.createSubKey(QStringLiteral("409\\dbus"))
        .writeString(QString(),
                     OrvantisDBusExports::ServiceName + OrvantisDBusExports::ControllerPath);
}

void ComOrvantisRegistration::unregisterTypeLib() const {
    zv::ZvRegKey::remove(m_classes, QStringLiteral("TypeLib\\") + TypeLib);
}

void ComOrvantisRegistration::setLocalService(const QString &serviceName) const {
    zv::ZvRegKey::create(m_classes, appIdKey())
        .writeString(QStringLiteral("LocalService"), serviceName);
}

void ComOrvantisRegistration::deleteLocalService() const {
    if (auto key = zv::ZvRegKey::open(m_classes, appIdKey()))
        key->deleteValue(QStringLiteral("LocalService"));
}

std::optional<QString> ComOrvantisRegistration::readLocalService(bool *found) {
    *found = false;
    for (zv::RegRoot root : {zv::RegRoot::UserClasses, zv::RegRoot::ClassesRoot}) {
        std::optional<zv::ZvRegKey> key;
        try {
            key = zv::ZvRegKey::open(root, QStringLiteral("AppID\\") + AppId);
        } catch (const zv::ZvError &) {
            continue;
        }
        if (!key)
            continue;
        *found = true;
        if (auto value = key->readString(QStringLiteral("LocalService")))
            return value->left(260);
        return std::nullopt;
    }
    return std::nullopt;
}

QString ComOrvantisRegistration::activationFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dbus-1/services/") + OrvantisDBusExports::ServiceName +
           QStringLiteral(".service");
}

bool ComOrvantisRegistration::writeActivationFile(const QString &modulePath) {
    const QString path = activationFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("[D-BUS Service]\nName=" + OrvantisDBusExports::ServiceName.toUtf8() +
               "\nExec=" + modulePath.toUtf8() + " -Embedding\n");
    return file.commit();
}

void ComOrvantisRegistration::removeActivationFile() {
    QFile::remove(activationFilePath());
}

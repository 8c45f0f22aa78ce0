// SPDX-License-Identifier: MIT
// The interfaces of ComOrvantisLib: the controller, and what the controller requires of the
// hosted tasks, the notification server and the settings task. Plug-ins build against this
// header and ZvComTypes.h only.
#pragma once

#include "ZvComTypes.h"

#include <QList>
#include <QString>

namespace orvantis {

inline const QUuid LIBID_ComOrvantisLib{QStringLiteral("{59CCF180-4C4F-4472-ABE8-70E4EDC33E7C}")};
inline const QUuid CLSID_OrvantisController{
    QStringLiteral("{195B05A8-74E3-480A-A947-0AD9540DB009}")};
inline const QUuid IID_IOrvantisController{
    QStringLiteral("{99CBF768-291B-4A73-A8B3-F92F89C24D7F}")};
inline const QUuid IID_IOrvantisTask{QStringLiteral("{1E91EDC3-920A-4EC3-856D-D693D7D9F7B7}")};
inline const QUuid IID_IServerNotifications{
    QStringLiteral("{224CCFC3-99A8-44DE-B18B-55FFB5B06603}")};
inline const QUuid IID_ISettings{QStringLiteral("{14860F8F-271F-4856-8C9B-F126A3D37E8A}")};

inline const QString ProgID_OrvantisController =
    QStringLiteral("ZorvantSystems.OrvantisController");
inline const QString ProgID_ServerNotifications =
    QStringLiteral("ZorvantSystems.ServerNotifications");
inline const QString ProgID_SettingsTask = QStringLiteral("ZorvantSystems.SettingsTask");

class IOrvantisTask : public zv::IUnknown {
public:
    virtual zv::HRESULT get_ProgID(QString *progId) = 0;
    virtual zv::HRESULT get_IsRunning(bool *isRunning) = 0;
    virtual zv::HRESULT Start() = 0;
    virtual zv::HRESULT Stop() = 0;

protected:
    ~IOrvantisTask() = default;
};

class IServerNotifications : public zv::IUnknown {
public:
    virtual zv::HRESULT Advise(qint32 notifyId) = 0;
    virtual zv::HRESULT Unadvise() = 0;
    virtual zv::HRESULT NotifyInstances(qint32 notifyId) = 0;
    virtual zv::HRESULT get_NotifyIds(QList<qint32> *notifyIds) = 0;

protected:
    ~IServerNotifications() = default;
};

class ISettings : public zv::IUnknown {
public:
    virtual zv::HRESULT get_CacheLocation(QString *cacheLocation) = 0;
    virtual zv::HRESULT put_CacheLocation(const QString &cacheLocation) = 0;
    virtual zv::HRESULT ReadSettingsForCustomer(const QString &customerCode, quint32 settingId,
                                                QString *settings) = 0;
    virtual zv::HRESULT ReadSettings(quint32 settingId, QString *settings) = 0;

protected:
    ~ISettings() = default;
};

// Out-parameters receive an added reference, or nullptr.
class IOrvantisController : public zv::IUnknown {
public:
    virtual zv::HRESULT StartAllTasks() = 0;
    virtual zv::HRESULT StopAllTasks() = 0;
    virtual zv::HRESULT LoadAllTasks() = 0;
    virtual zv::HRESULT UnloadAllTasks() = 0;
    virtual zv::HRESULT GetHostedTask(const QString &taskProgId, IOrvantisTask **task) = 0;
    virtual zv::HRESULT CreateEventServer(IServerNotifications **eventServer) = 0;
    virtual zv::HRESULT get_SettingsManager(ISettings **settingsManager) = 0;

protected:
    ~IOrvantisController() = default;
};

} // namespace orvantis

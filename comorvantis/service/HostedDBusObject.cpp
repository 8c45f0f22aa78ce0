// SPDX-License-Identifier: MIT
#include "HostedDBusObject.h"

#include "OrvantisDBusExports.h"

using namespace orvantis;

HostedDBusObject::HostedDBusObject(zv::IUnknown *identity)
    : m_identity(zv::ZvComPtr<zv::IUnknown>::share(identity)) {
    identity->QueryInterface(IID_IOrvantisTask, m_task.putVoid());
    identity->QueryInterface(IID_ISettings, m_settings.putVoid());
    identity->QueryInterface(IID_IServerNotifications, m_notifications.putVoid());
}

HostedDBusObject::~HostedDBusObject() = default;

bool HostedDBusObject::check(zv::HRESULT hr) {
    if (zv::succeeded(hr))
        return true;
    if (calledFromDBus())
        OrvantisDBusExports::replyFailure(*this, hr);
    return false;
}

QString HostedDBusObject::progId() {
    QString id;
    if (m_task)
        check(m_task->get_ProgID(&id));
    return id;
}

bool HostedDBusObject::isRunning() {
    bool running = false;
    if (m_task)
        check(m_task->get_IsRunning(&running));
    return running;
}

QString HostedDBusObject::cacheLocation() {
    QString location;
    if (m_settings)
        check(m_settings->get_CacheLocation(&location));
    return location;
}

void HostedDBusObject::setCacheLocation(const QString &location) {
    if (m_settings)
        check(m_settings->put_CacheLocation(location));
}

QList<int> HostedDBusObject::notifyIds() {
    QList<qint32> ids;
    if (m_notifications)
        check(m_notifications->get_NotifyIds(&ids));
    return ids;
}

void HostedDBusObject::Start() {
    if (m_task)
        check(m_task->Start());
}

void HostedDBusObject::Stop() {
    if (m_task)
        check(m_task->Stop());
}

void HostedDBusObject::Advise(int notifyId) {
    if (m_notifications)
        check(m_notifications->Advise(notifyId));
}

void HostedDBusObject::Unadvise() {
    if (m_notifications)
        check(m_notifications->Unadvise());
}

void HostedDBusObject::NotifyInstances(int notifyId) {
    if (m_notifications)
        check(m_notifications->NotifyInstances(notifyId));
}

QString HostedDBusObject::ReadSettingsForCustomer(const QString &customerCode, uint settingId) {
    QString settings;
    if (m_settings)
        check(m_settings->ReadSettingsForCustomer(customerCode, settingId, &settings));
    return settings;
}

QString HostedDBusObject::ReadSettings(uint settingId) {
    QString settings;
    if (m_settings)
        check(m_settings->ReadSettings(settingId, &settings));
    return settings;
}

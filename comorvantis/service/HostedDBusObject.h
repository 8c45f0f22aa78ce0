// SPDX-License-Identifier: MIT
// D-Bus face of one component object handed out by the controller: a task, the settings
// task's settings, or a notification server (adaptors for the interfaces it implements).
#pragma once

#include "OrvantisInterfaces.h"

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QSet>

class HostedDBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(QString ProgID READ progId)
    Q_PROPERTY(bool IsRunning READ isRunning)
    Q_PROPERTY(QString CacheLocation READ cacheLocation WRITE setCacheLocation)
    Q_PROPERTY(QList<int> NotifyIds READ notifyIds)
public:
    // identity: the object's IUnknown (one added reference is taken).
    explicit HostedDBusObject(zv::IUnknown *identity);
    ~HostedDBusObject() override;

    bool hasTask() const { return bool(m_task); }
    bool hasSettings() const { return bool(m_settings); }
    bool hasNotifications() const { return bool(m_notifications); }

    QSet<QString> holders;

    QString progId();
    bool isRunning();
    QString cacheLocation();
    void setCacheLocation(const QString &location);
    QList<int> notifyIds();

public slots:
    void Start();
    void Stop();
    void Advise(int notifyId);
    void Unadvise();
    void NotifyInstances(int notifyId);
    QString ReadSettingsForCustomer(const QString &customerCode, uint settingId);
    QString ReadSettings(uint settingId);

private:
    // False (and a D-Bus error for the caller) when hr is a failure.
    bool check(zv::HRESULT hr);

    zv::ZvComPtr<zv::IUnknown> m_identity;
    zv::ZvComPtr<orvantis::IOrvantisTask> m_task;
    zv::ZvComPtr<orvantis::ISettings> m_settings;
    zv::ZvComPtr<orvantis::IServerNotifications> m_notifications;
};

// SPDX-License-Identifier: MIT
// D-Bus face of the task controller (interface com.zorvant.IOrvantisController).
#pragma once

#include "OrvantisInterfaces.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>

class OrvantisDBusExports;

class ControllerDBusObject : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    // The controller is obtained from its class object on the first call that needs it.
    ControllerDBusObject(zv::IClassFactory *factory, OrvantisDBusExports *exports);
    ~ControllerDBusObject() override;

public slots:
    void StartAllTasks();
    void StopAllTasks();
    void LoadAllTasks();
    void UnloadAllTasks();
    QDBusObjectPath GetHostedTask(const QString &taskProgId);
    QDBusObjectPath CreateEventServer();
    QDBusObjectPath SettingsManager();

private:
    QString caller() const;
    bool mayControl();
    void control(zv::HRESULT (orvantis::IOrvantisController::*method)());
    // nullptr (after a D-Bus error reply) when the class object cannot supply it.
    orvantis::IOrvantisController *controller();

    zv::ZvComPtr<zv::IClassFactory> m_factory;
    zv::ZvComPtr<orvantis::IOrvantisController> m_controller;
    OrvantisDBusExports *m_exports;
};

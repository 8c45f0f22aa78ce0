// SPDX-License-Identifier: MIT
// The module of the ComOrvantis program: command line and registration, and the server run
// (systemd service on the system bus, or local server on the session bus) around the task
// controller.
#pragma once

#include "ZvComTypes.h"

#include "OrvantisInterfaces.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

class OrvantisDBusExports;
class ServiceStopSignal;
class ZvScopeTrace;

class CComOrvantisModule : public QObject {
    Q_OBJECT
public:
    // Service states as the service manager knew them.
    enum ServiceState : int { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

    CComOrvantisModule();
    ~CComOrvantisModule() override;

    // Process entry after the program's own --help/--version: log settings, command line,
    // then the server. Returns the process exit code.
    int WinMain(const QStringList &arguments);

    // Handles the registration switches; false when the server should run. *result is the
    // outcome of a handled switch.
    bool ParseCommandLine(const QStringList &arguments, zv::HRESULT *result);
    zv::HRESULT Start();

    static QString usage();

private:
    enum class Switch {
        None,
        UnregServer,
        RegServer,
        UnregServerPerUser,
        RegServerPerUser,
        Service
    };
    static Switch findSwitch(const QString &arguments);
    zv::HRESULT processSwitch(Switch which, bool *handled);
    zv::HRESULT RegisterServer(bool perUser, bool asService);
    zv::HRESULT UnregisterServer(bool perUser);
    bool Install();
    bool Uninstall();
    bool changeServiceConfig(QString *error);
    static void messageBox(const QString &text);

    int ServiceMain();
    zv::HRESULT RunServer();
    zv::HRESULT InitializeSecurity();
    zv::HRESULT PreMessageLoop();
    void RunMessageLoop();
    zv::HRESULT PostMessageLoop();
    zv::HRESULT registerClassObjects();
    zv::HRESULT resumeClassObjects();
    zv::HRESULT revokeClassObjects();
    zv::HRESULT obtainController();
    void callController(const ZvScopeTrace &trace,
                        zv::HRESULT (orvantis::IOrvantisController::*method)());
    void OnStop();
    void OnShutdown();
    void stopFromControl(const char *scope);
    void setServiceStatus(ServiceState state);
    void LogEvent(const QString &text);

    QString m_modulePath;
    bool m_service = false;
    bool m_delayShutdown = true;
    int m_pauseMs = 1000;
    std::atomic<int> m_state{Stopped};
    zv::ZvComPtr<orvantis::IOrvantisController> m_controller;
    zv::IClassFactory *m_factory = nullptr;
    quint32 m_classCookie = 0;
    std::unique_ptr<OrvantisDBusExports> m_exports;
    std::unique_ptr<ServiceStopSignal> m_stopSignal;
};

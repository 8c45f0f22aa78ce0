// SPDX-License-Identifier: MIT
#include "ComOrvantisModule.h"

#include "ComOrvantisRegistration.h"
#include "OrvantisControllerFactory.h"
#include "OrvantisDBusExports.h"
#include "ServiceStopSignal.h"
#include "ZvComError.h"
#include "ZvComRuntime.h"
#include "ZvEventLogHdl.h"
#include "ZvLogManager.h"
#include "ZvMisc.h"
#include "ZvProcessInfo.h"
#include "ZvScopeTrace.h"
#include "ZvServiceHdl.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <systemd/sd-daemon.h>

using namespace ComOrvantisIds;
using namespace orvantis;
using zv::HRESULT;

namespace {

const char kScope[] = "CComOrvantisModule::";
constexpr int kModuleTraceLevel = 2;
constexpr int kConfigAttempts = 5;

QString scope(const char *method) {
    return QLatin1String(kScope) + QLatin1String(method);
}

QString quotedIfNeeded(const QString &argument) {
    if (argument.isEmpty() || argument.contains(QLatin1Char(' ')))
        return QLatin1Char('"') + argument + QLatin1Char('"');
    return argument;
}

// A registry failure inside a registration step.
HRESULT registryFailure(const zv::ZvError &e) {
    ZvLogError(QStringLiteral("%s"), {e.message()});
    return zv::E_FAIL;
}

} // namespace

CComOrvantisModule::CComOrvantisModule() = default;

CComOrvantisModule::~CComOrvantisModule() = default;

QString CComOrvantisModule::usage() {
    return QStringLiteral(
        "Usage: comorvantis [switch]\n"
        "Hosts the tasks listed in <program>.config and serves the task controller over D-Bus\n"
        "(com.zorvant.ComOrvantis, object /OrvantisController).\n"
        "\n"
        "Switches (introduced by '-' or '/', any case):\n"
        "  Service             register, and install as a systemd service started at boot\n"
        "  RegServer           register as a server started on demand on the session bus\n"
        "  RegServerPerUser    as RegServer, for the current user only\n"
        "  UnregServer         remove the service and the registration\n"
        "  UnregServerPerUser  remove the per-user registration\n"
        "  --help, --version   this text, the version\n"
        "\n"
        "Without a switch the program runs as the service when it was installed with -Service,\n"
        "otherwise as a local server that ends when its last client has left the bus.\n");
}

int CComOrvantisModule::WinMain(const QStringList &arguments) {
    m_modulePath = zv::modulePath();
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, RootKey);
    ZvLogManager::instance().setSourceName(LogSourceName);
    HRESULT result = zv::S_OK;
    if (ParseCommandLine(arguments, &result)) {
        if (zv::failed(result))
            std::fprintf(stderr, "comorvantis: registration failed: 0x%08X %s\n", quint32(result),
                         qPrintable(ZvComError::errorText(result)));
        return zv::failed(result) ? 1 : 0;
    }
    result = Start();
    if (result > 0 && result < 256)
        return result; // a system error number from reading the registration
    return zv::failed(result) ? 1 : 0;
}

CComOrvantisModule::Switch CComOrvantisModule::findSwitch(const QString &arguments) {
    static const std::pair<const char *, Switch> table[] = {
        {"UnregServer", Switch::UnregServer},
        {"RegServer", Switch::RegServer},
        {"UnregServerPerUser", Switch::UnregServerPerUser},
        {"RegServerPerUser", Switch::RegServerPerUser},
        {"Service", Switch::Service},
    };
    qsizetype i = 0;
    while (i < arguments.size()) {
        const QChar c = arguments.at(i++);
        if (c != QLatin1Char('-') && c != QLatin1Char('/'))
            continue;
        qsizetype end = i;
        while (end < arguments.size() && !arguments.at(end).isSpace() &&
               arguments.at(end) != QLatin1Char('-') && arguments.at(end) != QLatin1Char('/'))
            ++end;
        const QString word = arguments.mid(i, end - i);
        for (const auto &[name, which] : table) {
            if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return which;
        }
        i = end;
    }
    return Switch::None;
}

bool CComOrvantisModule::ParseCommandLine(const QStringList &arguments, HRESULT *result) {
    const ZvScopeTrace trace(scope("ParseCommandLine"), kModuleTraceLevel);
    QStringList quoted;
    for (const QString &a : arguments)
        quoted << quotedIfNeeded(a);
    ZvLogDebug(2, QStringLiteral("Command line = '%s'"), {quoted.join(QLatin1Char(' '))});

    // Only the arguments count: the program's own path holds '/' on this platform.
    const QString switches = arguments.mid(1).join(QLatin1Char(' '));
    bool install = false;
    bool remove = false;
    static const QRegularExpression separators(QStringLiteral("[/-]"));
    for (const QString &piece : switches.toLower().split(separators)) {
        const QString word = piece.trimmed();
        if (word == QLatin1String("service"))
            install = true;
        else if (word == QLatin1String("unregserver"))
            remove = true;
    }
    ZvEventLogHdl eventLog;
    if (install) {
        if (!eventLog.registerSource(ServiceName, m_modulePath))
            ZvLogError(ZvLogCategoryLibrary, QStringLiteral("[ZvRegistry::SetValue] ") +
                                                 ZvMisc::doublePercent(eventLog.lastError()));
    } else if (remove) {
        if (!eventLog.removeSource(ServiceName))
            ZvLogError(ZvLogCategoryLibrary, QStringLiteral("[ZvRegistry::DeleteKey] ") +
                                                 ZvMisc::doublePercent(eventLog.lastError()));
    }

    const Switch which = findSwitch(switches);
    bool handled = false;
    *result = processSwitch(which, &handled);
    if (!install)
        return handled;
    for (int attempt = 1;; ++attempt) {
        QString error;
        if (changeServiceConfig(&error))
            return handled;
        ZvLogError(QStringLiteral("Failed to change config. %s"), {error});
        QThread::msleep(1000);
        if (attempt == kConfigAttempts) {
            ZvLogError(QStringLiteral("Installation of Service has failed"));
            return handled;
        }
        *result = processSwitch(which, &handled);
    }
}

bool CComOrvantisModule::changeServiceConfig(QString *error) {
    ZvServiceHdl manager;
    if (!manager.openManager() ||
        !manager.changeConfig(true, {QStringLiteral("EventLog"), QStringLiteral("RPCSS")})) {
        *error = ZvMisc::systemMessageText(manager.lastError());
        return false;
    }
    return true;
}

HRESULT CComOrvantisModule::processSwitch(Switch which, bool *handled) {
    *handled = which != Switch::None;
    switch (which) {
    case Switch::UnregServer:
        return UnregisterServer(false);
    case Switch::RegServer:
        return RegisterServer(false, false);
    case Switch::UnregServerPerUser:
        return UnregisterServer(true);
    case Switch::RegServerPerUser:
        return RegisterServer(true, false);
    case Switch::Service:
        return RegisterServer(false, true);
    case Switch::None:
        break;
    }
    return zv::S_OK;
}

HRESULT CComOrvantisModule::RegisterServer(bool perUser, bool asService) {
    const ComOrvantisRegistration registration(perUser ? zv::RegRoot::UserClasses
                                                       : zv::RegRoot::ClassesRoot);
    if (ZvServiceHdl().exists() && !Uninstall())
        return zv::E_FAIL;
    try {
        registration.registerAppId();
        registration.deleteLocalService();
        if (asService) {
            registration.setLocalService(ServiceName);
            if (!Install())
                return zv::E_FAIL;
        }
        registration.registerClass(m_modulePath);
        registration.registerTypeLib(QFileInfo(m_modulePath).absolutePath());
    } catch (const zv::ZvError &e) {
        return registryFailure(e);
    }
    if (!asService && !ComOrvantisRegistration::writeActivationFile(m_modulePath))
        return zv::E_FAIL;
    return zv::S_OK;
}

HRESULT CComOrvantisModule::UnregisterServer(bool perUser) {
    const ComOrvantisRegistration registration(perUser ? zv::RegRoot::UserClasses
                                                       : zv::RegRoot::ClassesRoot);
    try {
        registration.unregisterClass();
        registration.unregisterTypeLib();
    } catch (const zv::ZvError &e) {
        return registryFailure(e);
    }
    if (!Uninstall())
        return zv::E_FAIL;
    try {
        registration.deleteLocalService();
        registration.unregisterAppId();
    } catch (const zv::ZvError &e) {
        return registryFailure(e);
    }
    ComOrvantisRegistration::removeActivationFile();
    return zv::S_OK;
}

void CComOrvantisModule::messageBox(const QString &text) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(ServiceName), qPrintable(text));
}

bool CComOrvantisModule::Install() {
    ZvServiceHdl manager;
    if (manager.exists())
        return true;
    if (!manager.openManager()) {
        messageBox(QStringLiteral("Could not open Service Manager"));
        return false;
    }
    ZvServiceConfig config;
    config.displayName = ServiceName;
    config.executable = m_modulePath;
    config.automatic = false;
    config.dependencies = {QStringLiteral("RPCSS")};
    if (!manager.create(config)) {
        messageBox(QStringLiteral("Could not start service"));
        return false;
    }
    return true;
}

bool CComOrvantisModule::Uninstall() {
    ZvServiceHdl manager;
    if (!manager.exists())
        return true;
    if (!manager.openManager()) {
        messageBox(QStringLiteral("Could not open Service Manager"));
        return false;
    }
    if (!manager.stop())
        messageBox(QStringLiteral("Could not stop service"));
    if (!manager.remove()) {
        messageBox(QStringLiteral("Could not delete service"));
        return false;
    }
    return true;
}

HRESULT CComOrvantisModule::Start() {
    bool found = false;
    const std::optional<QString> localService = ComOrvantisRegistration::readLocalService(&found);
    if (!found) {
        std::fprintf(stderr, "comorvantis: not registered (run it with -RegServer or -Service)\n");
        return ENOENT;
    }
    if (localService) {
        m_service = true;
        return ServiceMain() == 0 ? zv::S_OK : zv::E_FAIL;
    }
    m_service = false;
    return RunServer();
}

int CComOrvantisModule::ServiceMain() {
    m_state.store(StartPending);
    m_stopSignal = std::make_unique<ServiceStopSignal>();
    if (!m_stopSignal->install()) {
        LogEvent(QStringLiteral("Handler not installed"));
        return 1;
    }
    connect(m_stopSignal.get(), &ServiceStopSignal::stopRequested, this,
            &CComOrvantisModule::OnStop);
    connect(m_stopSignal.get(), &ServiceStopSignal::shutdownRequested, this,
            &CComOrvantisModule::OnShutdown);
    connect(m_stopSignal.get(), &ServiceStopSignal::otherRequested, this,
            [this] { LogEvent(QStringLiteral("Bad service request")); });
    setServiceStatus(StartPending);
    m_delayShutdown = false;
    HRESULT hr = PreMessageLoop();
    if (hr == zv::S_OK)
        RunMessageLoop();
    if (zv::succeeded(hr))
        hr = PostMessageLoop();
    setServiceStatus(Stopped);
    LogEvent(QStringLiteral("Service stopped"));
    return zv::failed(hr) ? 1 : 0;
}

HRESULT CComOrvantisModule::RunServer() {
    m_stopSignal = std::make_unique<ServiceStopSignal>();
    if (m_stopSignal->install()) {
        connect(m_stopSignal.get(), &ServiceStopSignal::stopRequested, this,
                &CComOrvantisModule::OnStop);
        connect(m_stopSignal.get(), &ServiceStopSignal::shutdownRequested, this,
                &CComOrvantisModule::OnShutdown);
    }
    HRESULT hr = PreMessageLoop();
    if (hr == zv::S_OK)
        RunMessageLoop();
    if (zv::succeeded(hr))
        hr = PostMessageLoop();
    return hr;
}

HRESULT CComOrvantisModule::InitializeSecurity() {
    const ZvScopeTrace trace(scope("InitializeSecurity"), kModuleTraceLevel);
    // Access rules live in the bus policy installed with the unit; the task-control methods
    // are also refused here to callers other than root and the service's own user.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        ZvLogError(
            QStringLiteral("[CComOrvantisModule::InitializeSecurity] ::CoInitializeSecurity: ") +
            ZvMisc::doublePercent(bus.lastError().message()));
        return zv::E_ACCESSDENIED;
    }
    m_exports = std::make_unique<OrvantisDBusExports>(bus, true);
    return zv::S_OK;
}

HRESULT CComOrvantisModule::registerClassObjects() {
    m_factory = new COrvantisControllerFactory(COrvantisControllerImpl::defaultConfigurationPath());
    const HRESULT hr =
        zv::CoRegisterClassObject(CLSID_OrvantisController, m_factory, zv::CLSCTX_LOCAL_SERVER,
                                  zv::REGCLS_MULTIPLEUSE | zv::REGCLS_SUSPENDED, &m_classCookie);
    if (zv::failed(hr)) {
        m_factory->Release();
        m_factory = nullptr;
    }
    return hr;
}

HRESULT CComOrvantisModule::resumeClassObjects() {
    HRESULT hr = zv::CoResumeClassObjects();
    if (zv::failed(hr))
        return hr;
    if (!m_exports->exportController(m_factory))
        return zv::E_FAIL;
    QString error;
    if (!m_exports->claimName(&error)) {
        ZvLogError(QStringLiteral("[CComOrvantisModule::PreMessageLoop] %s"), {error});
        return zv::E_ACCESSDENIED;
    }
    return zv::S_OK;
}

HRESULT CComOrvantisModule::revokeClassObjects() {
    if (m_exports)
        m_exports->revokeAll();
    HRESULT hr = zv::S_OK;
    if (m_classCookie) {
        hr = zv::CoRevokeClassObject(m_classCookie);
        m_classCookie = 0;
    }
    if (m_factory) {
        m_factory->Release();
        m_factory = nullptr;
    }
    return hr;
}

HRESULT CComOrvantisModule::PreMessageLoop() {
    const ZvScopeTrace trace(scope("PreMessageLoop"), kModuleTraceLevel);
    HRESULT hr = zv::S_OK;
    if (m_service) {
        hr = InitializeSecurity();
        if (zv::failed(hr))
            return hr;
    } else {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            hr = zv::E_FAIL;
        else
            m_exports = std::make_unique<OrvantisDBusExports>(bus, false);
    }
    if (zv::succeeded(hr))
        hr = registerClassObjects();
    if (zv::succeeded(hr) && !m_service && m_delayShutdown) {
        // The shutdown monitor: the last client leaving the bus ends the loop.
        connect(
            m_exports.get(), &OrvantisDBusExports::lastClientLeft, this,
            [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    }
    if (zv::succeeded(hr) && m_service) {
        int expected = StartPending;
        if (m_state.compare_exchange_strong(expected, Running)) {
            LogEvent(QStringLiteral("Service started/resumed"));
            setServiceStatus(Running);
        }
    }
    if (zv::succeeded(hr)) {
        hr = resumeClassObjects();
        if (zv::failed(hr))
            revokeClassObjects();
    }
    if (zv::failed(hr)) {
        ZvLogError(
            QStringLiteral("[CComOrvantisModule::PreMessageLoop] CBaseClass::PreMessageLoop: ") +
            ZvMisc::GetSystemMessage(hr));
        return hr;
    }
    hr = obtainController();
    if (zv::failed(hr)) {
        ZvLogError(
            QStringLiteral("[CComOrvantisModule::PreMessageLoop] Failed to obtain an instance "
                           "of the OrvantisController. ") +
            ZvMisc::GetSystemMessage(hr));
        // The service stays up without tasks; the loop reports the missing controller.
    }
    return zv::S_OK;
}

HRESULT CComOrvantisModule::obtainController() {
    m_controller.reset();
    QUuid clsid;
    HRESULT hr = zv::CLSIDFromProgID(ProgID_OrvantisController, &clsid);
    zv::ZvComPtr<zv::IUnknown> unknown;
    if (zv::succeeded(hr))
        hr = zv::CoCreateInstance(clsid, nullptr, zv::CLSCTX_ALL, zv::IID_IUnknown,
                                  unknown.putVoid());
    if (zv::succeeded(hr))
        hr = zv::OleRun(unknown.get());
    if (zv::succeeded(hr))
        hr = unknown->QueryInterface(IID_IOrvantisController, m_controller.putVoid());
    if (zv::failed(hr))
        m_controller.reset();
    return hr;
}

void CComOrvantisModule::callController(const ZvScopeTrace &trace,
                                        HRESULT (IOrvantisController::*method)()) {
    try {
        if (!m_controller)
            throw ZvComError(zv::E_POINTER);
        ZvCheck((m_controller.get()->*method)());
    } catch (const ZvComError &e) {
        trace.reportComError(e);
    } catch (const zv::ZvError &e) {
        trace.reportException(e.message());
    } catch (const std::exception &e) {
        trace.reportException(QString::fromLocal8Bit(e.what()));
    }
}

void CComOrvantisModule::RunMessageLoop() {
    const ZvScopeTrace trace(scope("RunMessageLoop"), kModuleTraceLevel);
    callController(trace, &IOrvantisController::LoadAllTasks);
    callController(trace, &IOrvantisController::StartAllTasks);
    // A stop requested while the tasks started is waiting in the pipe and ends exec at once.
    if (m_state.load() != StopPending || !m_service)
        QCoreApplication::exec();
}

HRESULT CComOrvantisModule::PostMessageLoop() {
    const ZvScopeTrace trace(scope("PostMessageLoop"), kModuleTraceLevel);
    callController(trace, &IOrvantisController::StopAllTasks);
    callController(trace, &IOrvantisController::UnloadAllTasks);
    m_controller.reset();
    const HRESULT hr = revokeClassObjects();
    if (m_delayShutdown)
        QThread::msleep(m_pauseMs);
    return hr;
}

void CComOrvantisModule::stopFromControl(const char *method) {
    const ZvScopeTrace trace(scope(method), kModuleTraceLevel);
    if (m_service) {
        m_state.store(StopPending);
        setServiceStatus(StopPending);
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

void CComOrvantisModule::OnStop() {
    stopFromControl("OnStop");
}

void CComOrvantisModule::OnShutdown() {
    stopFromControl("OnShutdown");
}

void CComOrvantisModule::setServiceStatus(ServiceState state) {
    m_state.store(state);
    if (!m_service)
        return;
    switch (state) {
    case StartPending:
        sd_notify(0, "STATUS=Start pending");
        break;
    case Running:
        sd_notify(0, "READY=1\nSTATUS=Running");
        break;
    case StopPending:
        sd_notify(0, "STOPPING=1\nSTATUS=Stop pending");
        break;
    case Stopped:
        sd_notify(0, "STATUS=Stopped");
        break;
    }
}

void CComOrvantisModule::LogEvent(const QString &text) {
    const QString message = text.left(255);
    if (!m_service) {
        QTextStream out(stdout);
        out << message << '\n';
        out.flush();
    }
    ZvEventLogHdl::report(ServiceName, message);
}

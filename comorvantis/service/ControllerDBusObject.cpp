// SPDX-License-Identifier: MIT
#include "ControllerDBusObject.h"

#include "OrvantisDBusExports.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <unistd.h>

using namespace orvantis;

ControllerDBusObject::ControllerDBusObject(zv::IClassFactory *factory, OrvantisDBusExports *exports)
    : m_factory(zv::ZvComPtr<zv::IClassFactory>::share(factory)), m_exports(exports) {}

IOrvantisController *ControllerDBusObject::controller() {
    if (!m_controller) {
        const zv::HRESULT hr = m_factory
                                   ? m_factory->CreateInstance(nullptr, IID_IOrvantisController,
                                                               m_controller.putVoid())
                                   : zv::E_POINTER;
        if (zv::failed(hr) || !m_controller) {
            if (calledFromDBus())
                OrvantisDBusExports::replyFailure(*this, zv::failed(hr) ? hr : zv::E_POINTER);
            return nullptr;
        }
    }
    return m_controller.get();
}

ControllerDBusObject::~ControllerDBusObject() = default;

QString ControllerDBusObject::caller() const {
    if (!calledFromDBus())
        return {};
    const QString sender = message().service();
    m_exports->noteClient(sender);
    return sender;
}

bool ControllerDBusObject::mayControl() {
    if (!m_exports->restrictControl() || !calledFromDBus())
        return true;
    const QDBusReply<uint> uid = connection().interface()->serviceUid(message().service());
    if (uid.isValid() && (uid.value() == 0 || uid.value() == ::geteuid()))
        return true;
    sendErrorReply(QDBusError::AccessDenied,
                   QStringLiteral("Only the administrator may control the hosted tasks."));
    return false;
}

void ControllerDBusObject::control(zv::HRESULT (IOrvantisController::*method)()) {
    caller();
    if (!mayControl())
        return;
    IOrvantisController *target = controller();
    if (!target)
        return;
    const zv::HRESULT hr = (target->*method)();
    if (zv::failed(hr))
        OrvantisDBusExports::replyFailure(*this, hr);
}

void ControllerDBusObject::StartAllTasks() {
    control(&IOrvantisController::StartAllTasks);
}
void ControllerDBusObject::StopAllTasks() {
    control(&IOrvantisController::StopAllTasks);
}
void ControllerDBusObject::LoadAllTasks() {
    control(&IOrvantisController::LoadAllTasks);
}
void ControllerDBusObject::UnloadAllTasks() {
    control(&IOrvantisController::UnloadAllTasks);
}

QDBusObjectPath ControllerDBusObject::GetHostedTask(const QString &taskProgId) {
    const QString client = caller();
    IOrvantisController *target = controller();
    if (!target)
        return {};
    zv::ZvComPtr<IOrvantisTask> task;
    const zv::HRESULT hr = target->GetHostedTask(taskProgId, task.put());
    if (zv::failed(hr)) {
        OrvantisDBusExports::replyFailure(*this, hr);
        return {};
    }
    return m_exports->pathFor(task.get(), client);
}

QDBusObjectPath ControllerDBusObject::CreateEventServer() {
    const QString client = caller();
    IOrvantisController *target = controller();
    if (!target)
        return {};
    zv::ZvComPtr<IServerNotifications> server;
    const zv::HRESULT hr = target->CreateEventServer(server.put());
    if (zv::failed(hr)) {
        OrvantisDBusExports::replyFailure(*this, hr);
        return {};
    }
    return m_exports->pathFor(server.get(), client);
}

QDBusObjectPath ControllerDBusObject::SettingsManager() {
    const QString client = caller();
    IOrvantisController *target = controller();
    if (!target)
        return QDBusObjectPath(QStringLiteral("/"));
    zv::ZvComPtr<ISettings> settings;
    const zv::HRESULT hr = target->get_SettingsManager(settings.put());
    if (zv::failed(hr)) {
        OrvantisDBusExports::replyFailure(*this, hr);
        return {};
    }
    return m_exports->pathFor(settings.get(), client);
}

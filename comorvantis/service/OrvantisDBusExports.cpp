// SPDX-License-Identifier: MIT
#include "OrvantisDBusExports.h"

#include "ControllerDBusObject.h"
#include "HostedDBusObject.h"
#include "ZvComError.h"
#include "controlleradaptor.h"
#include "notificationsadaptor.h"
#include "settingsadaptor.h"
#include "taskadaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

OrvantisDBusExports::OrvantisDBusExports(QDBusConnection connection, bool restrictControl,
                                         QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_restrictControl(restrictControl) {
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(m_connection);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &OrvantisDBusExports::clientLeft);
}

OrvantisDBusExports::~OrvantisDBusExports() {
    revokeAll();
}

bool OrvantisDBusExports::exportController(zv::IClassFactory *factory) {
    m_controller = std::make_unique<ControllerDBusObject>(factory, this);
    new ControllerAdaptor(m_controller.get());
    return m_connection.registerObject(ControllerPath, m_controller.get());
}

bool OrvantisDBusExports::claimName(QString *error) {
    QDBusConnectionInterface *bus = m_connection.interface();
    if (!bus) {
        *error = QStringLiteral("no bus connection");
        return false;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus->registerService(ServiceName, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        *error = reply.error().message();
        return false;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        *error = QStringLiteral("the name %1 is already taken").arg(ServiceName);
        return false;
    }
    m_nameClaimed = true;
    return true;
}

void OrvantisDBusExports::revokeAll() {
    if (m_nameClaimed && m_connection.interface())
        m_connection.interface()->unregisterService(ServiceName);
    m_nameClaimed = false;
    for (HostedDBusObject *object : std::as_const(m_objects)) {
        m_connection.unregisterObject(object->objectName());
        delete object;
    }
    m_objects.clear();
    if (m_controller) {
        m_connection.unregisterObject(ControllerPath);
        m_controller.reset();
    }
}

QDBusObjectPath OrvantisDBusExports::pathFor(zv::IUnknown *object, const QString &caller) {
    if (!object)
        return QDBusObjectPath(QStringLiteral("/"));
    zv::ZvComPtr<zv::IUnknown> identity;
    if (zv::failed(object->QueryInterface(zv::IID_IUnknown, identity.putVoid())) || !identity)
        return QDBusObjectPath(QStringLiteral("/"));
    HostedDBusObject *hosted = m_objects.value(identity.get());
    if (!hosted) {
        hosted = new HostedDBusObject(identity.get());
        hosted->setObjectName(ControllerPath + QStringLiteral("/Objects/%1").arg(m_nextId++));
        if (hosted->hasTask())
            new TaskAdaptor(hosted);
        if (hosted->hasSettings())
            new SettingsAdaptor(hosted);
        if (hosted->hasNotifications())
            new NotificationsAdaptor(hosted);
        if (!m_connection.registerObject(hosted->objectName(), hosted)) {
            delete hosted;
            return QDBusObjectPath(QStringLiteral("/"));
        }
        m_objects.insert(identity.get(), hosted);
    }
    hosted->holders.insert(caller);
    return QDBusObjectPath(hosted->objectName());
}

void OrvantisDBusExports::noteClient(const QString &caller) {
    if (caller.isEmpty() || m_clients.contains(caller))
        return;
    m_clients.insert(caller);
    m_watcher->addWatchedService(caller);
    // The client may have left before the watch was in place.
    if (m_connection.interface() && !m_connection.interface()->isServiceRegistered(caller))
        clientLeft(caller);
}

void OrvantisDBusExports::clientLeft(const QString &name) {
    m_watcher->removeWatchedService(name);
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        HostedDBusObject *object = it.value();
        object->holders.remove(name);
        if (object->holders.isEmpty()) {
            m_connection.unregisterObject(object->objectName());
            delete object;
            it = m_objects.erase(it);
        } else {
            ++it;
        }
    }
    if (m_clients.remove(name) && m_clients.isEmpty())
        emit lastClientLeft();
}

void OrvantisDBusExports::replyFailure(const QDBusContext &context, zv::HRESULT hr) {
    const std::optional<zv::ZvErrorInfo> info = zv::GetErrorInfo();
    const QString text =
        info && !info->description.isEmpty() ? info->description : ZvComError::errorText(hr);
    const QString name = QStringLiteral("com.zorvant.ComOrvantis.Error.x") +
                         QStringLiteral("%1").arg(quint32(hr), 8, 16, QLatin1Char('0')).toUpper();
    context.sendErrorReply(name, text);
}

// SPDX-License-Identifier: MIT
// The controller and the objects it hands out, exported on a D-Bus connection. Objects are
// shared by identity (one path per component object) and kept while a client that received
// them is on the bus; the clients that used the server decide its lifetime in local-server
// mode.
#pragma once

#include "OrvantisInterfaces.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QSet>

#include <memory>

class QDBusServiceWatcher;
class ControllerDBusObject;
class HostedDBusObject;

class OrvantisDBusExports : public QObject {
    Q_OBJECT
public:
    static inline const QString ServiceName = QStringLiteral("com.zorvant.ComOrvantis");
    static inline const QString ControllerPath = QStringLiteral("/OrvantisController");

    // restrictControl: the four task-control methods answer only root and this process's user.
    OrvantisDBusExports(QDBusConnection connection, bool restrictControl,
                        QObject *parent = nullptr);
    ~OrvantisDBusExports() override;

    QDBusConnection connection() const { return m_connection; }
    bool restrictControl() const { return m_restrictControl; }

    // Exports the controller object (the class object becomes reachable); false on failure.
    bool exportController(zv::IClassFactory *factory);
    // Claims the bus name; false when another process holds it or the bus refuses.
    bool claimName(QString *error);
    // Drops every exported object and the name, releasing the component references.
    void revokeAll();

    // The path of a component object for a caller; "/" for an empty reference.
    QDBusObjectPath pathFor(zv::IUnknown *object, const QString &caller);
    // A client that called into the server; watched until it leaves the bus.
    void noteClient(const QString &caller);
    int clientCount() const { return int(m_clients.size()); }

    // A D-Bus error for a failed call, with the failing object's error information when it
    // left some.
    static void replyFailure(const QDBusContext &context, zv::HRESULT hr);

signals:
    void lastClientLeft();

private:
    void clientLeft(const QString &name);

    QDBusConnection m_connection;
    const bool m_restrictControl;
    QDBusServiceWatcher *m_watcher = nullptr;
    QSet<QString> m_clients;
    std::unique_ptr<ControllerDBusObject> m_controller;
    QHash<zv::IUnknown *, HostedDBusObject *> m_objects; // owned, keyed by identity
    quint64 m_nextId = 1;
    bool m_nameClaimed = false;
};

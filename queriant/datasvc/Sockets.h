// SPDX-License-Identifier: MIT
// Thin TCP socket wrapper of the data-service library: port by service name or number, dotted
// or resolved IPv4 address, blocking receives limited by a read time-out, and an asynchronous
// mode whose readiness arrives as read, write, connect and close callbacks on the owning
// thread's event loop. Failures go through one error path with the socket error codes and
// descriptions the library's messages use.
#pragma once

#include "ZvComErrors.h"

#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

class TSockets {
public:
    // The callback receives the description alone and the code, and decides (it may throw).
    using TErrorProc = std::function<void(TSockets &, const QString &description, int code)>;
    using TEventProc = std::function<void(TSockets &)>;

    TSockets();
    ~TSockets();
    TSockets(const TSockets &) = delete;
    TSockets &operator=(const TSockets &) = delete;

    QString Port() const { return m_port; }
    void SetPort(const QString &port) { m_port = port; }
    QString IPAddr() const { return m_ipAddr; }
    void SetIPAddr(const QString &address) { m_ipAddr = address; }
    int SocketHandle() const { return m_socket; }
    bool Asynchronous() const { return m_asynchronous; }
    // On a connected socket this switches between notifications and blocking reads at once.
    void SetAsynchronous(bool asynchronous);
    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int seconds);
    bool ReservedPort() const { return m_reservedPort; }
    void SetReservedPort(bool reserved) { m_reservedPort = reserved; }

    void SetOnError(TErrorProc proc) { m_onError = std::move(proc); }
    const TErrorProc &OnError() const { return m_onError; }
    void SetOnRead(TEventProc proc) { m_onRead = std::move(proc); }
    void SetOnWrite(TEventProc proc) { m_onWrite = std::move(proc); }
    void SetOnAccept(TEventProc proc) { m_onAccept = std::move(proc); }
    void SetOnConnect(TEventProc proc) { m_onConnect = std::move(proc); }
    void SetOnClose(TEventProc proc) { m_onClose = std::move(proc); }

    // Resolves a host name into IPAddr ("%d.%d.%d.%d"); an unresolvable name leaves it as it was.
    void GetIPAddress(const QString &hostName);
    void SConnect();
    // -1 without a socket or after a reported error; 0 when the peer closed.
    qint64 SReceive(void *buffer, qint64 size);
    // 0 without a socket; -1 after a reported error.
    qint64 SSend(const void *buffer, qint64 size);
    void SDisconnect();
    // Asks for one write callback when the socket can take more (after a send would block).
    void RequestWriteNotification();

    // The error path: "Error <code> in function <name>" CR LF description, raised as ESocket
    // without a callback, handed to the callback otherwise.
    void SocketError(const QString &function, int code, const QString &description = QString());

    static QString ErrorDescription(int code);
    // The socket error code of an errno value (or of a resolver failure, given as EAI_*).
    static int CodeFromErrno(int error);
    static int CodeFromResolver(int error);

private:
    void StartNotifications();
    void StopNotifications();
    void ReadReady();
    void WriteReady();
    bool SetBlocking(bool blocking);
    bool ApplyReceiveLimit();

    QString m_port;
    QString m_ipAddr;
    int m_socket = -1;
    bool m_asynchronous = true;
    int m_timeOut = 30;
    int m_receiveLimit = -1; // the time-out the socket holds, -1 for none
    bool m_reservedPort = false;
    bool m_connecting = false;
    TErrorProc m_onError;
    TEventProc m_onRead, m_onWrite, m_onAccept, m_onConnect, m_onClose;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
};

// SPDX-License-Identifier: MIT
// Framed request/response client over one blocking TCP connection: connect with retries and
// address fallback, send a message, read a fixed header, let the owner decode the length, read
// the rest. Every wait is bounded by TimeOut seconds: by the socket's own send and receive
// time-outs once connected, so that an exchange costs one blocking call per direction.
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>

#include <sys/types.h>

class EProtocolError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TProtocolSocket;

// Sender, HeaderData (HeaderSize bytes), ResponseSize (out), HeaderCorrect (enters false).
using THeaderProcessEvent =
    std::function<void(TProtocolSocket &, const QByteArray &, int &, bool &)>;

class TProtocolSocket {
public:
    TProtocolSocket();
    virtual ~TProtocolSocket();
    TProtocolSocket(const TProtocolSocket &) = delete;
    TProtocolSocket &operator=(const TProtocolSocket &) = delete;

    QString Host;
    QString Address;
    int Port = 0;
    QString Service;
    int TimeOut = 30;
    int ConnectRetries = 1;
    int HeaderSize = 0;
    THeaderProcessEvent OnProcessHeader;

    QString ConnectionInfo() const;
    QString LocalAddress() const;
    bool Connected() const { return m_fd >= 0; }

    void Connect();
    void Close();
    // Sends one message and returns exactly one response message, header included; an empty
    // result when the decoder did not recognise the header.
    QByteArray SendReceive(const QByteArray &message);
    // The message length from the header, or -1 when the decoder refused it.
    int ReadHeader();

protected:
    QByteArray ReceiveBuffer;

private:
    bool ConnectAttempt();
    void OpenConnection();
    int WaitMilliseconds() const;
    bool WaitFor(short events);
    void ApplyTimeOut();
    ssize_t Receive(char *buffer, std::size_t size);
    void SendAll(const QByteArray &message);
    void DropLateAnswers();
    QString UnavailableMessage() const;

    int m_fd = -1;
    // The TimeOut the socket's time-outs were last set for, and whether it blocks with them.
    int m_appliedTimeOut = 0;
    bool m_blocking = false;
};

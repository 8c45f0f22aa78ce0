// SPDX-License-Identifier: MIT
// Packet socket of the data-service library: sends built packets (whole, after partial sends),
// reads them blocking with the length limits, and in asynchronous mode collects them from the
// read notifications, resynchronising on the magic.
#pragma once

#include "Packets.h"
#include "Sockets.h"

#include <deque>
#include <functional>
#include <memory>

class TDataSocket {
public:
    TDataSocket();
    virtual ~TDataSocket();
    TDataSocket(const TDataSocket &) = delete;
    TDataSocket &operator=(const TDataSocket &) = delete;

    TSockets &Socket() { return m_socket; }
    bool Encryption() const { return m_encryption; }
    const TZvComSessionKey &SessionKey() const { return m_sessionKey; }

    // Builds the packet with the current encryption and key and sends all of it (blocking), or
    // queues it behind the packets waiting for the socket (asynchronous mode).
    void SendPacket(const TZvComEncodePacket &packet);
    // Blocking: one whole packet, decoded with the current encryption and key.
    std::unique_ptr<TZvComDecodePacket> ReadPacket();

    // Failures found while handling a notification cannot travel up the event loop; they go
    // here (by default: logged, and the connection closed).
    using TAsyncErrorProc = std::function<void(const zv::ZvError &)>;
    void SetOnAsyncError(TAsyncErrorProc proc) { m_onAsyncError = std::move(proc); }

protected:
    // The error callback every connection uses outside authentication.
    void DataSocketError(TSockets &socket, const QString &description, int code);
    void InstallDataSocketError();
    // A packet collected by the asynchronous reader.
    virtual void Dispatch(TZvComDecodePacket &packet) = 0;
    virtual void CloseConnection();
    void ResetReader();

    TZvComSessionKey m_sessionKey{};
    bool m_encryption = false;

private:
    void ReceiveAtLeast(QByteArray &bytes, qsizetype need);
    void AsyncReceive();
    void TakePackets();
    void AsyncWrite();
    void FlushQueue();
    void ReportAsyncError(const zv::ZvError &error);

    TSockets m_socket;
    std::deque<QByteArray> m_queue;
    bool m_mayWrite = false;
    QByteArray m_incoming; // received bytes not yet taken as packets
    TAsyncErrorProc m_onAsyncError;
};

// SPDX-License-Identifier: MIT
#include "DataSock.h"

#include "Log.h"
#include "SecureWipe.h"

#include <algorithm>
#include <utility>

namespace {

std::uint32_t headerLength(const QByteArray &header) {
    const auto *p = reinterpret_cast<const std::uint8_t *>(header.constData()) + 5;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

TDataSocket::TDataSocket() {
    InstallDataSocketError();
    m_socket.SetOnRead([this](TSockets &) { AsyncReceive(); });
    m_socket.SetOnWrite([this](TSockets &) { AsyncWrite(); });
    m_socket.SetOnClose([this](TSockets &) { ReportAsyncError(EZvComDisconnectException()); });
}

TDataSocket::~TDataSocket() {
    zv::SecureWipe(m_sessionKey.data(), m_sessionKey.size());
}

void TDataSocket::InstallDataSocketError() {
    m_socket.SetOnError([this](TSockets &s, const QString &description, int code) {
        DataSocketError(s, description, code);
    });
}

void TDataSocket::DataSocketError(TSockets &socket, const QString &description, int code) {
    switch (code) {
    case 10035:
        m_mayWrite = false;
        socket.RequestWriteNotification();
        return;
    case 10050:
    case 10052:
    case 10053:
    case 10054:
        CloseConnection();
        throw EZvComDisconnectException();
    default:
        throw EZvComException(description);
    }
}

void TDataSocket::CloseConnection() {
    m_socket.SDisconnect();
}

void TDataSocket::ResetReader() {
    m_incoming.clear();
    m_queue.clear();
}

void TDataSocket::SendPacket(const TZvComEncodePacket &packet) {
    QByteArray bytes = packet.Build(m_encryption, m_sessionKey);
    if (m_socket.Asynchronous() && m_socket.SocketHandle() >= 0) {
        m_queue.push_back(std::move(bytes));
        FlushQueue();
        return;
    }
    qint64 sent = 0;
    while (sent < bytes.size()) {
        const qint64 n = m_socket.SSend(bytes.constData() + sent, bytes.size() - sent);
        if (n <= 0) {
            CloseConnection();
            throw EZvComDisconnectException();
        }
        sent += n;
    }
}

// Receives into bytes until they hold at least need; each receive takes what has come, up to
// a few kilobytes more, so that a small packet comes in one.
void TDataSocket::ReceiveAtLeast(QByteArray &bytes, qsizetype need) {
    constexpr qsizetype ReadAhead = 4096;
    while (bytes.size() < need) {
        const qsizetype have = bytes.size();
        bytes.resize(std::max(need, have + ReadAhead));
        const qint64 n = m_socket.SReceive(bytes.data() + have, bytes.size() - have);
        bytes.resize(have + std::max<qint64>(n, 0));
        if (n <= 0) {
            CloseConnection();
            throw EZvComDisconnectException();
        }
    }
}

// Bytes beyond the packet stay in m_incoming, where the next read starts, blocking or not.
std::unique_ptr<TZvComDecodePacket> TDataSocket::ReadPacket() {
    QByteArray bytes = std::exchange(m_incoming, QByteArray());
    ReceiveAtLeast(bytes, ZvComHeaderSize);
    const std::uint32_t length = headerLength(bytes);
    if (length <= ZvComHeaderSize)
        throw EZvComException(QString::fromLatin1(SLengthTooShort));
    if (length >= ZvComMaxPacketLength)
        throw EZvComException(QString::fromLatin1(SLengthTooLong));
    ReceiveAtLeast(bytes, length);
    if (bytes.size() > static_cast<qsizetype>(length)) {
        m_incoming = bytes.mid(length);
        bytes.truncate(length);
    }
    // Handed over, not shared: deciphering in place then needs no copy of the packet.
    return std::make_unique<TZvComDecodePacket>(std::move(bytes), m_sessionKey, m_encryption);
}

void TDataSocket::AsyncReceive() {
    try {
        char chunk[65536];
        for (;;) {
            const qint64 n = m_socket.SReceive(chunk, sizeof chunk);
            if (n == 0) {
                CloseConnection();
                throw EZvComDisconnectException();
            }
            if (n < 0)
                break;
            m_incoming.append(chunk, n);
        }
        TakePackets();
    } catch (const zv::ZvError &e) {
        ReportAsyncError(e);
    }
}

void TDataSocket::TakePackets() {
    while (m_incoming.size() >= ZvComHeaderSize) {
        if (!m_incoming.startsWith(ZvComMagic)) {
            // Lost step: skip to the next letter that may start a header.
            const qsizetype next = m_incoming.left(ZvComHeaderSize).indexOf(ZvComMagic[0], 1);
            m_incoming.remove(0, next < 0 ? ZvComHeaderSize : next);
            continue;
        }
        const std::uint32_t length = headerLength(m_incoming);
        if (length <= ZvComHeaderSize || length > ZvComMaxPacketLength - 1) {
            m_incoming.clear();
            throw EZvComException(
                QString::fromLatin1(length <= ZvComHeaderSize ? SLengthTooShort : SLengthTooLong));
        }
        if (m_incoming.size() < static_cast<qsizetype>(length))
            return;
        const QByteArray bytes = m_incoming.left(length);
        m_incoming.remove(0, length);
        TZvComDecodePacket packet(bytes, m_sessionKey, m_encryption);
        Dispatch(packet);
    }
}

void TDataSocket::AsyncWrite() {
    m_mayWrite = true;
    try {
        FlushQueue();
    } catch (const zv::ZvError &e) {
        ReportAsyncError(e);
    }
}

void TDataSocket::FlushQueue() {
    while (m_mayWrite && !m_queue.empty()) {
        QByteArray &front = m_queue.front();
        const qint64 n = m_socket.SSend(front.constData(), front.size());
        if (n <= 0)
            return;
        if (n < front.size())
            front.remove(0, n);
        else
            m_queue.pop_front();
    }
}

void TDataSocket::ReportAsyncError(const zv::ZvError &error) {
    if (m_onAsyncError) {
        m_onAsyncError(error);
        return;
    }
    LogError(lcZvCom, "%s", error.message());
    CloseConnection();
}

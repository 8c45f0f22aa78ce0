// SPDX-License-Identifier: MIT
#include "ProtocolSocket.h"

#include "Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <memory>

namespace {

const QString CrLf = QStringLiteral("\r\n");
constexpr qsizetype ChunkSize = 256;

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString trimControls(const QString &text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

struct AddrInfoDeleter {
    void operator()(addrinfo *info) const { freeaddrinfo(info); }
};

} // namespace

TProtocolSocket::TProtocolSocket() = default;

TProtocolSocket::~TProtocolSocket() {
    Close();
}

void TProtocolSocket::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

QString TProtocolSocket::ConnectionInfo() const {
    QString info;
    if (!Host.isEmpty())
        info += QStringLiteral("Host: ") + Host + CrLf;
    if (!Address.isEmpty())
        info += QStringLiteral("Address: ") + Address + CrLf;
    if (Port != 0)
        info += QStringLiteral("Port: ") + QString::number(Port) + CrLf;
    if (!Service.isEmpty())
        info += QStringLiteral("Service: ") + Service;
    return trimControls(info);
}

QString TProtocolSocket::LocalAddress() const {
    if (m_fd < 0)
        return {};
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

int TProtocolSocket::WaitMilliseconds() const {
    if (TimeOut <= 0)
        return 0;
    return TimeOut > INT_MAX / 1000 ? INT_MAX : TimeOut * 1000;
}

bool TProtocolSocket::WaitFor(short events) {
    pollfd p{m_fd, events, 0};
    for (;;) {
        const int ready = ::poll(&p, 1, WaitMilliseconds());
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

void TProtocolSocket::Connect() {
    const QString rememberedHost = Host;
    bool connected = false;
    for (int attempt = 0; attempt < ConnectRetries && !connected; ++attempt) {
        connected = ConnectAttempt();
        if (!connected && !Address.isEmpty())
            Host = Address;
    }
    if (connected)
        return;
    LogInfo("TProtocolSocket.Connect Failed to connect to host %s or address %s on port %d",
            rememberedHost, Address, Port);
    if (!rememberedHost.isEmpty() && !Address.isEmpty())
        throw EProtocolError(QStringLiteral("Failed to connect to host %1 or address %2 on port %3")
                                 .arg(rememberedHost, Address)
                                 .arg(Port));
    if (!rememberedHost.isEmpty())
        throw EProtocolError(QStringLiteral("Failed to connect to host %1 on port %2")
                                 .arg(rememberedHost)
                                 .arg(Port));
    throw EProtocolError(
        QStringLiteral("Failed to connect to address %1 on port %2").arg(Address).arg(Port));
}

bool TProtocolSocket::ConnectAttempt() {
    try {
        OpenConnection();
        return true;
    } catch (const EProtocolError &e) {
        Close();
        LogInfo("Socket Connect: %S", e.message());
        return false;
    }
}

// IPv4 only: the answer record carries the local address in dotted form.
void TProtocolSocket::OpenConnection() {
    Close();
    const QString target = Host.isEmpty() ? Address : Host;
    const QByteArray service = Port != 0 ? QByteArray::number(Port) : Service.toUtf8();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (Host.isEmpty())
        hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const int rc = getaddrinfo(target.toUtf8().constData(), service.constData(), &hints, &found);
    if (rc != 0)
        throw EProtocolError(
            QStringLiteral("%1: %2").arg(target, QString::fromLocal8Bit(gai_strerror(rc))));
    std::unique_ptr<addrinfo, AddrInfoDeleter> list(found);

    QString lastError = QStringLiteral("no address for %1").arg(target);
    for (addrinfo *a = found; a; a = a->ai_next) {
        m_fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (m_fd < 0) {
            lastError = systemError(errno);
            continue;
        }
        int result = ::connect(m_fd, a->ai_addr, a->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            int error = ETIMEDOUT;
            if (WaitFor(POLLOUT)) {
                socklen_t length = sizeof error;
                getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
            result = error == 0 ? 0 : -1;
            errno = error;
        }
        if (result == 0) {
            ApplyTimeOut();
            return;
        }
        lastError = systemError(errno);
        Close();
    }
    throw EProtocolError(lastError);
}

QString TProtocolSocket::UnavailableMessage() const {
    return QStringLiteral("Connection failed, the Popup server is unavailable at this time.") +
           CrLf + ConnectionInfo();
}

// With a positive TimeOut the socket itself blocks for at most that long in every send and
// receive, so an exchange needs no poll before each read; poll is the fallback when the
// time-outs cannot be set and for a TimeOut of zero (no waiting at all).
void TProtocolSocket::ApplyTimeOut() {
    m_appliedTimeOut = TimeOut;
    const int milliseconds = WaitMilliseconds();
    int nonBlocking = 1;
    if (milliseconds > 0) {
        const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
        nonBlocking = setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0 ||
                      setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0;
    }
    if (::ioctl(m_fd, FIONBIO, &nonBlocking) != 0)
        nonBlocking = 1;
    m_blocking = nonBlocking == 0;
}

// Waits up to TimeOut for data and reads what has come: the byte count, 0 when the peer
// closed the connection, -1 with errno EAGAIN when the wait ran out.
ssize_t TProtocolSocket::Receive(char *buffer, std::size_t size) {
    if (TimeOut != m_appliedTimeOut)
        ApplyTimeOut();
    for (;;) {
        if (!m_blocking && !WaitFor(POLLIN)) {
            errno = EAGAIN;
            return -1;
        }
        const ssize_t n = ::recv(m_fd, buffer, size, 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            errno = EAGAIN;
        if (!m_blocking && errno == EAGAIN)
            continue;
        return -1;
    }
}

// A failed send means the peer is gone; it is reported like a connection lost in the header.
void TProtocolSocket::SendAll(const QByteArray &message) {
    if (m_fd < 0)
        throw EProtocolError(UnavailableMessage());
    if (TimeOut != m_appliedTimeOut)
        ApplyTimeOut();
    qsizetype sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(m_fd, message.constData() + sent,
                                 static_cast<std::size_t>(message.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && !m_blocking && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(POLLOUT))
            continue;
        Close();
        throw EProtocolError(UnavailableMessage());
    }
}

// Bytes waiting before a request is sent belong to an answer that came after its time limit;
// read as the answer to this request they would give it another request's values.
void TProtocolSocket::DropLateAnswers() {
    if (m_fd < 0)
        return;
    char scratch[4096];
    qsizetype dropped = 0;
    for (;;) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0) {
            dropped += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (dropped > 0)
        LogInfo("Dropped %D bytes that came after the time limit of an earlier request", dropped);
}

// The body is read straight into the receive buffer in pieces of at most ChunkSize bytes;
// bytes beyond the message that came with the last piece are dropped.
QByteArray TProtocolSocket::SendReceive(const QByteArray &message) {
    LogInfo("Sending Packet: %D", message.size());
    DropLateAnswers();
    SendAll(message);
    ReceiveBuffer.clear();
    ReceiveBuffer.reserve(4 * ChunkSize);
    const int size = ReadHeader();
    if (size > ReceiveBuffer.capacity() - ChunkSize)
        ReceiveBuffer.reserve(size + ChunkSize);
    while (ReceiveBuffer.size() < size) {
        const qsizetype held = ReceiveBuffer.size();
        ReceiveBuffer.resize(held + ChunkSize);
        const ssize_t n = Receive(ReceiveBuffer.data() + held, ChunkSize);
        ReceiveBuffer.resize(held + (n > 0 ? n : 0));
        if (n <= 0)
            throw EProtocolError(QStringLiteral("Connection timed out. Data is incomplete"));
    }
    QByteArray response;
    if (size > 0) {
        ReceiveBuffer.truncate(size);
        response.swap(ReceiveBuffer);
    }
    ReceiveBuffer.clear();
    LogInfo("Received Packet Length: %D", response.size());
    return response;
}

int TProtocolSocket::ReadHeader() {
    while (ReceiveBuffer.size() < HeaderSize) {
        const qsizetype held = ReceiveBuffer.size();
        ssize_t n = -1;
        errno = EAGAIN;
        if (m_fd >= 0) {
            ReceiveBuffer.resize(HeaderSize);
            n = Receive(ReceiveBuffer.data() + held, static_cast<std::size_t>(HeaderSize - held));
            ReceiveBuffer.resize(held + (n > 0 ? n : 0));
        }
        if (n < 0 && errno == EAGAIN) {
            if (!ReceiveBuffer.isEmpty())
                throw EProtocolError(
                    QStringLiteral("Connection timed out. Header Data is incomplete") + CrLf +
                    ConnectionInfo());
            throw EProtocolError(QStringLiteral("Connection timed out. No response") + CrLf +
                                 QStringLiteral("Failed to connect to the popup server: ") + CrLf +
                                 ConnectionInfo());
        }
        if (n <= 0) {
            Close();
            throw EProtocolError(UnavailableMessage());
        }
    }
    if (!OnProcessHeader)
        throw EProtocolError(QStringLiteral("Error. OnProcessHeader event must be handled"));
    int responseSize = 0;
    bool headerCorrect = false;
    OnProcessHeader(*this, ReceiveBuffer, responseSize, headerCorrect);
    return headerCorrect ? responseSize : -1;
}

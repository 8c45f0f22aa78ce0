// SPDX-License-Identifier: MIT
#include "Sockets.h"

#include <QHash>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

struct CodeText {
    int code;
    const char *text;
};

constexpr CodeText Descriptions[] = {
    {10004, "Interrupted system call (Timeout)"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
};

struct ErrnoCode {
    int error;
    int code;
};

constexpr ErrnoCode ErrnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {EISCONN, 10056},         {ENOTCONN, 10057},     {EPIPE, 10058},
    {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},        {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
    {EUSERS, 10068},          {EDQUOT, 10069},       {ESTALE, 10070},
    {EREMOTE, 10071},         {ENFILE, 10024},
};

QString shortErrorName(int code) {
    switch (code) {
    case 10036:
        return QStringLiteral("WSAEInProgress");
    case 10050:
        return QStringLiteral("WSAENetDown");
    case 10093:
        return QStringLiteral("WSANotInitialised");
    default:
        return QString();
    }
}

QString dotted(const in_addr &address) {
    const auto *b = reinterpret_cast<const unsigned char *>(&address);
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

// The first IPv4 address of a name, dotted; empty when it does not resolve.
QString resolveFirst(const QString &host, int *resolverError) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const int rc = ::getaddrinfo(host.toLocal8Bit().constData(), nullptr, &hints, &list);
    if (resolverError)
        *resolverError = rc;
    if (rc != 0 || !list)
        return QString();
    const QString text = dotted(reinterpret_cast<const sockaddr_in *>(list->ai_addr)->sin_addr);
    ::freeaddrinfo(list);
    return text;
}

// The port of a service name, or of a number. The service database is a file that every
// look-up reads whole, so the ports of names are remembered for the life of the process; a
// number is no service name and is taken as it is.
quint16 servicePort(const QString &service) {
    const bool numeric =
        !service.isEmpty() && std::all_of(service.begin(), service.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    if (numeric)
        return service.toUShort();
    static std::mutex lock;
    static QHash<QString, quint16> known;
    const std::lock_guard<std::mutex> guard(lock);
    if (const auto found = known.constFind(service); found != known.constEnd())
        return *found;
    servent entry{};
    servent *result = nullptr;
    char buffer[4096];
    if (::getservbyname_r(service.toLocal8Bit().constData(), "tcp", &entry, buffer, sizeof buffer,
                          &result) == 0 &&
        result) {
        const quint16 port = ntohs(static_cast<quint16>(result->s_port));
        known.insert(service, port);
        return port;
    }
    return service.toUShort();
}

} // namespace

TSockets::TSockets() = default;

TSockets::~TSockets() {
    StopNotifications();
    if (m_socket >= 0)
        ::close(m_socket);
}

QString TSockets::ErrorDescription(int code) {
    for (const CodeText &c : Descriptions)
        if (c.code == code)
            return QString::fromLatin1(c.text);
    return QStringLiteral("Not a winsock error");
}

int TSockets::CodeFromErrno(int error) {
    for (const ErrnoCode &e : ErrnoCodes)
        if (e.error == error)
            return e.code;
    return error;
}

int TSockets::CodeFromResolver(int error) {
    switch (error) {
    case EAI_NONAME:
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
    case EAI_SYSTEM:
        return CodeFromErrno(errno);
    default:
        return 11004;
    }
}

void TSockets::SocketError(const QString &function, int code, const QString &description) {
    const QString text = description.isEmpty() ? ErrorDescription(code) : description;
    if (!m_onError)
        throw ESocket(
            QStringLiteral("Error %1 in function %2\r\n%3").arg(code).arg(function, text));
    m_onError(*this, text, code);
}

void TSockets::GetIPAddress(const QString &hostName) {
    if (hostName.size() > 254)
        throw ESocket(
            QStringLiteral("TVeskarClient.GetIPAddress HostName: %1 too long (> 255 char)")
                .arg(hostName));
    char local[HOST_NAME_MAX + 1] = {};
    if (::gethostname(local, sizeof local - 1) != 0) {
        const int code = CodeFromErrno(errno);
        throw ESocket(
            QStringLiteral("%1 message: %2 Code: %3")
                .arg(QStringLiteral("Cannot get server IP address from DNS"), shortErrorName(code))
                .arg(code));
    }
    // An address in dotted form is its own answer; the resolver would only parse it again.
    in_addr numeric{};
    if (::inet_pton(AF_INET, hostName.toLatin1().constData(), &numeric) == 1) {
        m_ipAddr = dotted(numeric);
        return;
    }
    const QString address = resolveFirst(hostName, nullptr);
    if (!address.isEmpty())
        m_ipAddr = address;
}

bool TSockets::SetBlocking(bool blocking) {
    const int flags = ::fcntl(m_socket, F_GETFL);
    if (flags < 0)
        return false;
    return ::fcntl(m_socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

void TSockets::SConnect() {
    if (m_port.isEmpty())
        throw ESocket(QStringLiteral("No Port Specified"));
    if (m_ipAddr.isEmpty())
        throw ESocket(QStringLiteral("No IP Address Specified"));

    const quint16 port = servicePort(m_port);

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (::inet_pton(AF_INET, m_ipAddr.toLatin1().constData(), &peer.sin_addr) != 1) {
        int resolverError = 0;
        const QString resolved = resolveFirst(m_ipAddr, &resolverError);
        if (resolved.isEmpty())
            throw ESocket(QStringLiteral("Cannot convert host address: ") +
                          ErrorDescription(CodeFromResolver(resolverError)));
        ::inet_pton(AF_INET, resolved.toLatin1().constData(), &peer.sin_addr);
    }

    if (m_socket >= 0)
        SDisconnect();
    // Made in the mode it is used in: no flags to change afterwards.
    m_socket =
        ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (m_asynchronous ? SOCK_NONBLOCK : 0), 0);
    m_receiveLimit = -1;
    if (m_socket < 0) {
        SocketError(QStringLiteral("SConnect (socket)"), CodeFromErrno(errno));
        return;
    }
    // Requests are small writes that wait for their answer: Nagle's delay buys nothing.
    const int noDelay = 1;
    ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    if (m_reservedPort) {
        for (int local = 1024; local >= 513; --local) {
            sockaddr_in self{};
            self.sin_family = AF_INET;
            self.sin_port = htons(static_cast<quint16>(local));
            if (::bind(m_socket, reinterpret_cast<sockaddr *>(&self), sizeof self) == 0)
                break;
            if (errno != EADDRINUSE) {
                SocketError(QStringLiteral("SConnect bind()"), CodeFromErrno(errno));
                return;
            }
        }
    }
    if (::connect(m_socket, reinterpret_cast<sockaddr *>(&peer), sizeof peer) != 0) {
        if (m_asynchronous && errno == EINPROGRESS) {
            m_connecting = true;
        } else {
            SocketError(QStringLiteral("SConnect"), CodeFromErrno(errno));
            return;
        }
    }
    if (m_asynchronous)
        StartNotifications();
}

void TSockets::SetAsynchronous(bool asynchronous) {
    m_asynchronous = asynchronous;
    if (m_socket < 0)
        return;
    if (!SetBlocking(!asynchronous)) {
        SocketError(QStringLiteral("WSAAsyncSelect"), CodeFromErrno(errno));
        return;
    }
    if (asynchronous)
        StartNotifications();
    else
        StopNotifications();
}

void TSockets::SetTimeOut(int seconds) {
    m_timeOut = seconds;
    ApplyReceiveLimit();
}

// A blocking receive waits through the socket's own receive time-out, which saves a poll per
// receive; a time-out of zero or less, which the socket cannot express, is left to poll.
bool TSockets::ApplyReceiveLimit() {
    if (m_socket < 0 || m_timeOut <= 0)
        return false;
    if (m_receiveLimit == m_timeOut)
        return true;
    const timeval limit{m_timeOut, 0};
    if (::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
        m_receiveLimit = -1;
        return false;
    }
    m_receiveLimit = m_timeOut;
    return true;
}

qint64 TSockets::SReceive(void *buffer, qint64 size) {
    if (m_socket < 0)
        return -1;
    const bool limitedBySocket = !m_asynchronous && ApplyReceiveLimit();
    if (!m_asynchronous && !limitedBySocket) {
        pollfd p{m_socket, POLLIN, 0};
        const long long limit = static_cast<long long>(m_timeOut) * 1000;
        int rc;
        do {
            rc = ::poll(&p, 1, limit > INT_MAX ? INT_MAX : static_cast<int>(limit));
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) {
            SocketError(QStringLiteral("WaitForData"), 10060,
                        QStringLiteral("Blocking call timed out(recv)"));
            return -1;
        }
        if (rc < 0) {
            const int code = CodeFromErrno(errno);
            if (code == 10050)
                SDisconnect();
            SocketError(QStringLiteral("WaitForData"), code);
            return -1;
        }
    }
    ssize_t n;
    do {
        n = ::recv(m_socket, buffer, static_cast<size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (m_asynchronous && (errno == EAGAIN || errno == EWOULDBLOCK))
            return -1;
        if (limitedBySocket && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            SocketError(QStringLiteral("WaitForData"), 10060,
                        QStringLiteral("Blocking call timed out(recv)"));
            return -1;
        }
        SocketError(QStringLiteral("SReceive"), CodeFromErrno(errno));
        return -1;
    }
    return n;
}

qint64 TSockets::SSend(const void *buffer, qint64 size) {
    if (m_socket < 0)
        return 0;
    ssize_t n;
    do {
        n = ::send(m_socket, buffer, static_cast<size_t>(size), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SocketError(QStringLiteral("SSend"), CodeFromErrno(errno));
        return -1;
    }
    return n;
}

void TSockets::SDisconnect() {
    StopNotifications();
    m_connecting = false;
    if (m_socket < 0)
        return;
    const int fd = std::exchange(m_socket, -1);
    ::shutdown(fd, SHUT_RDWR);
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    if (::close(fd) != 0)
        SocketError(QStringLiteral("Disconnect (closesocket)"), CodeFromErrno(errno));
}

void TSockets::StartNotifications() {
    if (m_readNotifier)
        return;
    m_readNotifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
    QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, [this] { ReadReady(); });
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Write);
    QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, [this] { WriteReady(); });
}

// A notifier may be stopped from inside its own callback, so it is disabled now and freed
// by the event loop.
void TSockets::StopNotifications() {
    for (std::unique_ptr<QSocketNotifier> *n : {&m_readNotifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
}

void TSockets::RequestWriteNotification() {
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(true);
}

void TSockets::ReadReady() {
    char probe;
    const ssize_t n = ::recv(m_socket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) {
        // The peer is gone: one close callback, then no more notifications.
        m_readNotifier->setEnabled(false);
        if (m_onClose)
            m_onClose(*this);
        return;
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return;
        m_readNotifier->setEnabled(false);
        SocketError(QStringLiteral("FD_CLOSE"), CodeFromErrno(errno));
        return;
    }
    if (m_onRead)
        m_onRead(*this);
}

// Level-triggered readiness becomes one callback per request, as after a connect.
void TSockets::WriteReady() {
    m_writeNotifier->setEnabled(false);
    if (m_connecting) {
        m_connecting = false;
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            SocketError(QStringLiteral("FD_CONNECT"), CodeFromErrno(error));
            return;
        }
        if (m_onConnect)
            m_onConnect(*this);
    }
    if (m_onWrite)
        m_onWrite(*this);
}

// SPDX-License-Identifier: MIT
#include "LoopbackPeer.h"

#include <QFile>

#include <algorithm>
#include <csignal>
#include <cstdint>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray &bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool readExactly(int fd, char *buffer, qsizetype size) {
    for (qsizetype done = 0; done < size;) {
        const ssize_t n = ::read(fd, buffer + done, static_cast<std::size_t>(size - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

EchoPeer::EchoPeer(const RoundTrips &trips) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(m_listen, 4) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0)
        serve(trips);
    if (m_pid > 0)
        m_port = ntohs(address.sin_port);
}

EchoPeer::~EchoPeer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_listen >= 0)
        ::close(m_listen);
}

void EchoPeer::serve(const RoundTrips &trips) {
    qsizetype largest = 1;
    for (const QByteArray &r : trips.requests)
        largest = std::max(largest, r.size());
    QByteArray buffer(largest, '\0');
    for (;;) {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            ::_exit(1);
        for (qsizetype k = 0; k < trips.requests.size(); ++k) {
            if (!readExactly(fd, buffer.data(), trips.requests[k].size()) ||
                !writeAll(fd, trips.answers[k]))
                break;
        }
        ::close(fd);
    }
}

bool roundTrips(int port, const RoundTrips &trips, QByteArray &buffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    for (qsizetype k = 0; ok && k < trips.requests.size(); ++k)
        ok = writeAll(fd, trips.requests[k]) &&
             readExactly(fd, buffer.data(), trips.answers[k].size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

double ProcessCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields after the command name (which may hold spaces): state is field 3, utime 14.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const long ticks = sysconf(_SC_CLK_TCK);
    return (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(ticks);
}

// SPDX-License-Identifier: MIT
#include "CryptRandom.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString hexError(const char *what, int code) {
    return QStringLiteral("Error %1 during %2")
        .arg(QString::number(static_cast<unsigned>(code), 16), QLatin1String(what));
}

} // namespace

TCryptRandom::TCryptRandom() {
    m_fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw ECryptRandomError(hexError("CryptAcquireContext", errno));
}

TCryptRandom::~TCryptRandom() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void TCryptRandom::Fill(std::size_t count, std::uint8_t *buffer) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(m_fd, buffer + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw ECryptRandomError(hexError("CryptGenRandom", got < 0 ? errno : EIO));
        done += static_cast<std::size_t>(got);
    }
}

// SPDX-License-Identifier: MIT
#include "CryptRandom.h"

#include <cerrno>
#include <sys/random.h>

namespace {

QString hexError(const char *what, int code) {
    return QStringLiteral("Error %1 during %2")
        .arg(QString::number(static_cast<unsigned>(code), 16), QLatin1String(what));
}

} // namespace

// The kernel's generator needs no device to open and close for a 16-byte key; asking it once
// for no bytes tells whether it is there.
TCryptRandom::TCryptRandom() {
    static const int unavailable = [] {
        const bool missing =
            ::getrandom(nullptr, 0, GRND_NONBLOCK) < 0 && errno != EAGAIN && errno != EINTR;
        return missing ? errno : 0;
    }();
    if (unavailable)
        throw ECryptRandomError(hexError("CryptAcquireContext", unavailable));
}

TCryptRandom::~TCryptRandom() = default;

void TCryptRandom::Fill(std::size_t count, std::uint8_t *buffer) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::getrandom(buffer + done, count - done, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw ECryptRandomError(hexError("CryptGenRandom", got < 0 ? errno : EIO));
        done += static_cast<std::size_t>(got);
    }
}

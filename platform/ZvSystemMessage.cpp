// SPDX-License-Identifier: MIT
#include "ZvSystemMessage.h"

#include <QByteArray>

#include <cstring>

namespace zv {

QString systemErrorMessage(int errnoValue) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char *text = ::strerror_r(errnoValue, buffer, sizeof buffer);
    if (!text || QByteArray(text).startsWith("Unknown error"))
        return QString();
    return QString::fromLocal8Bit(text);
}

} // namespace zv

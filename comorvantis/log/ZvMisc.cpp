// SPDX-License-Identifier: MIT
#include "ZvMisc.h"

#include "ZvComRuntime.h"

#include <cstring>

namespace ZvMisc {

namespace {

QString errnoMessage(int code) {
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char *text = ::strerror_r(code, buffer, sizeof buffer);
    if (!text || QByteArray(text).startsWith("Unknown error"))
        return {};
    return QString::fromLocal8Bit(text);
}

} // namespace

QString systemMessageText(qint32 code) {
    QString text;
    if (code < 0)
        text = zv::comErrorMessage(code).value_or(QString());
    else if (code > 0)
        text = errnoMessage(code);
    else
        text = zv::comErrorMessage(0).value_or(QString());
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

QString GetSystemMessage(qint32 code) {
    return doublePercent(systemMessageText(code));
}

QString doublePercent(QString text) {
    text.replace(QLatin1Char('%'), QLatin1String("%%"));
    return text;
}

} // namespace ZvMisc

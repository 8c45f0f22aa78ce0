// SPDX-License-Identifier: MIT
#include "ZvMisc.h"

#include "ZvComRuntime.h"
#include "ZvSystemMessage.h"

namespace ZvMisc {

QString systemMessageText(qint32 code) {
    QString text;
    if (code < 0)
        text = zv::comErrorMessage(code).value_or(QString());
    else if (code > 0)
        text = zv::systemErrorMessage(code);
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

// SPDX-License-Identifier: MIT
#include "ZvProcessInfo.h"

#include <QFileInfo>

#include <unistd.h>

namespace zv {

QString modulePath() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString moduleDir() {
    return QFileInfo(modulePath()).absolutePath();
}

void debugOutput(const QString &line) {
    QByteArray bytes = line.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, size_t(left));
        if (n <= 0)
            break;
        p += n;
        left -= n;
    }
}

} // namespace zv

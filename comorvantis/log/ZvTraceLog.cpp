// SPDX-License-Identifier: MIT
#include "ZvTraceLog.h"

#include "ZvProcessInfo.h"

void ZvTraceLog::write(ZvLogKind, int, const QString &text) {
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype lf = text.indexOf(QLatin1Char('\n'), from);
        const qsizetype end = lf < 0 ? text.size() : lf + 1;
        zv::debugOutput(text.mid(from, end - from));
        from = end;
    }
}

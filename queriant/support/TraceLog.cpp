// SPDX-License-Identifier: MIT
#include "TraceLog.h"

#include "ZvProcessInfo.h"

TZvTraceLog::TZvTraceLog(TClassData &holder) : TZvLog(QStringLiteral("Trace"), holder) {}

TZvTraceLog::~TZvTraceLog() {
    detach();
}

void TZvTraceLog::write(const QByteArray &line) {
    zv::debugOutput(QString::fromUtf8(line));
}

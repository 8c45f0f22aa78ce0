// SPDX-License-Identifier: MIT
// Debugger-output sink: every line goes to the debug output as a piece of its own.
#pragma once

#include "ZvLog.h"

class ZvTraceLog : public ZvLog {
public:
    ZvTraceLog() : ZvLog(QStringLiteral("Trace")) {}
    void write(ZvLogKind kind, int level, const QString &text) override;
};

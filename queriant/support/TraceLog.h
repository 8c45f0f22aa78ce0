// SPDX-License-Identifier: MIT
// Sink that writes each line to the debugger output (standard error here).
#pragma once

#include "Log.h"

class TZvTraceLog : public TZvLog {
public:
    explicit TZvTraceLog(TClassData &holder = TClassData::instance());
    ~TZvTraceLog() override;

    void write(const QByteArray &line) override;
};

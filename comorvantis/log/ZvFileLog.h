// SPDX-License-Identifier: MIT
// Log file sink: appends CR LF terminated lines, opened on demand, rolled over to "<path>.bak"
// by size.
#pragma once

#include "ZvLog.h"

class ZvFileLog : public ZvLog {
public:
    static constexpr qint64 HardLimit = 2147483648LL; // 2 GiB
    static constexpr qint64 MiB = 1048576;

    ZvFileLog(const QString &path, quint32 maxFileSizeMiB);
    ~ZvFileLog() override;

    quint32 maxFileSizeMiB() const { return m_maxMiB; }
    bool isFileLog() const override { return true; }
    void write(ZvLogKind kind, int level, const QString &text) override;

    // The bytes written for a text: the locale's 8-bit encoding with every LF as CR LF.
    static QByteArray encodeLine(const QString &text);

private:
    bool ensureOpen();
    void close();
    void rollOver();

    quint32 m_maxMiB;
    int m_fd = -1;
};

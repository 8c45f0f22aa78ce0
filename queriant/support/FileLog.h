// SPDX-License-Identifier: MIT
// Sink that appends lines to a text file, rolling it over to "<path>.2" at the size limit.
#pragma once

#include "Log.h"

class TZvFileLog : public TZvLog {
public:
    // restart: empty the file each time it is opened.
    explicit TZvFileLog(const QString &path, bool restart = false,
                        TClassData &holder = TClassData::instance());
    ~TZvFileLog() override;

    void write(const QByteArray &line) override;

    // The path in use; it changes when opens fail.
    QString path() const { return name(); }
    bool isOpen() const { return m_fd >= 0; }

private:
    bool open();
    void close();
    void rollOver();

    int m_fd = -1;
    bool m_restart;
};

// SPDX-License-Identifier: MIT
// Base of every log sink. Sinks are shared (std::shared_ptr) between the manager's list and
// writers, so a sink replaced while a line is being delivered stays alive until it is done.
#pragma once

#include <QString>

enum class ZvLogKind { Error = 1, Warning = 2, Information = 4, Debug = 8 };

class ZvLog {
public:
    explicit ZvLog(QString name) : m_name(std::move(name)) {}
    virtual ~ZvLog();
    ZvLog(const ZvLog &) = delete;
    ZvLog &operator=(const ZvLog &) = delete;

    const QString &name() const { return m_name; }
    virtual bool isFileLog() const { return false; }
    // Called with the manager's lock held; text ends with a line feed.
    virtual void write(ZvLogKind kind, int level, const QString &text);

private:
    QString m_name;
};

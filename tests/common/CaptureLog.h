// SPDX-License-Identifier: MIT
// A client log sink that keeps every line while it exists, without prefixes or escaping; for
// tests that link the client's support library.
#pragma once

#include "Log.h"

#include <QString>
#include <QStringList>

#include <algorithm>

namespace zvtest {

class CaptureLog : public TZvLog {
public:
    CaptureLog() : TZvLog(QStringLiteral("capture")) {
        m_escape = false;
        TClassData::instance().setOptions(0);
    }
    ~CaptureLog() override { detach(); }
    void write(const QByteArray &line) override { lines.append(QString::fromUtf8(line)); }
    bool has(const QString &text) const { return lines.contains(text); }
    bool mentions(const QString &part) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString &l) { return l.contains(part); });
    }
    QStringList lines;
};

} // namespace zvtest

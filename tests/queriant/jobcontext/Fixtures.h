// SPDX-License-Identifier: MIT
// What the job-context tests share: a log sink that keeps the lines, and real sections made
// the way the component that holds a job (or velkor) makes them.
#pragma once

#include "CaptureLog.h"
#include "SectionBytes.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace jobtest {

// The section encodings written out by hand: a 32-bit little-endian integer, and a present text.
inline constexpr auto Int32 = &zvtest::SectionInt32;
inline constexpr auto Text = &zvtest::SectionText;

using CaptureLog = zvtest::CaptureLog;

// A section of the given size (0600), filled with content from offset 0; removed when the
// fixture goes.
class TestSection {
public:
    TestSection(const QString &name, const QByteArray &content = {}, qsizetype size = 16384);
    ~TestSection();
    TestSection(const TestSection &) = delete;
    TestSection &operator=(const TestSection &) = delete;

    QByteArray bytes() const;
    void write(const QByteArray &content, qsizetype offset = 0);
    const QString &name() const { return m_name; }

    static bool exists(const QString &name);
    static void unlink(const QString &name);

private:
    QString m_name;
};

} // namespace jobtest

// SPDX-License-Identifier: MIT
// Pure pieces of the log line: message formatting, the bracketed prefix, escaping, and the
// path change of a log file that cannot be opened. No I/O, no global state.
#pragma once

#include "LogArg.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <QStringView>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

// A line under construction, in UTF-16. Appends are inline and the capacity stays when the
// text is emptied, so a buffer reused from line to line seldom allocates.
class TLogText {
public:
    TLogText() = default;
    TLogText(const TLogText &) = delete;
    TLogText &operator=(const TLogText &) = delete;

    qsizetype size() const { return m_size; }
    char16_t *data() { return m_data.get(); }
    QStringView view() const { return QStringView(m_data.get(), m_size); }
    QString toString() const { return view().toString(); }

    // Growing leaves the new characters undefined.
    void resize(qsizetype size) {
        if (size > m_capacity)
            reserve(size);
        m_size = size;
    }
    void append(QStringView text) {
        char16_t *dst = grow(text.size());
        if (!text.isEmpty())
            std::memcpy(dst, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    }
    void append(QLatin1StringView text) {
        char16_t *dst = grow(text.size());
        const char *src = text.data();
        for (qsizetype i = 0; i < text.size(); ++i)
            dst[i] = static_cast<unsigned char>(src[i]);
    }
    void append(QChar c) { *grow(1) = c.unicode(); }
    void append(QLatin1Char c) { *grow(1) = c.unicode(); }
    template <typename Text> TLogText &operator+=(const Text &text) {
        append(text);
        return *this;
    }
    TLogText &operator+=(const QString &text) {
        append(QStringView(text));
        return *this;
    }

private:
    char16_t *grow(qsizetype count) {
        if (m_size + count > m_capacity)
            reserve(m_size + count);
        char16_t *at = m_data.get() + m_size;
        m_size += count;
        return at;
    }
    void reserve(qsizetype needed) {
        const qsizetype capacity = std::max<qsizetype>({needed, 2 * m_capacity, 256});
        std::unique_ptr<char16_t[]> data(new char16_t[size_t(capacity)]);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), size_t(m_size) * sizeof(char16_t));
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char16_t[]> m_data;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

// What the date in the prefix takes from the locale.
struct TLogLocaleInfo {
    std::array<QString, 12> monthAbbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QString dateSeparator{QStringLiteral("/")};
    QString timeSeparator{QStringLiteral(":")};

    // A locale without separators in its short formats keeps '/' and ':'.
    static TLogLocaleInfo fromLocale(const QLocale &locale);
};

// printf-like formatting. Conversions d i u x o c s f e g p (letters case-insensitive, "%X"
// and "%E"/"%G" give capitals), flags - 0 + blank #, width and precision as digits or '*',
// length modifiers (h l ll L q j z t I64) accepted and ignored, "%%", argument indexes
// ("%1:s" takes the second argument, and the next conversion the third). nullopt when the
// format is malformed or an argument is missing or of the wrong kind for its conversion.
// Byte strings are read as UTF-8, or byte by byte when they are not valid UTF-8.
std::optional<QString> LogFormatMessage(const char *format, std::span<const TLogArg> args);
// The same, appended to out; false (with out holding a part of the message) when it fails.
bool LogAppendMessage(TLogText &out, const char *format, std::span<const TLogArg> args);

// "CZv   ", "CZvCom" or "C%.5d".
QString LogCategoryLabel(quint32 category);
void LogAppendCategoryLabel(TLogText &out, quint32 category);
// 'e', 'w', 'i', 'd' by the most severe kind bit; '?' for 0 and unused values.
QChar LogKindLetter(quint32 kind);

// A local date and time as the prefix shows it.
struct TLogTime {
    int year = 2000;
    int month = 1; // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

// The current local time, read without re-reading the time zone on every call.
TLogTime LogLocalTimeNow();
// The local time of a moment given in seconds since the epoch.
TLogTime LogLocalTime(qint64 seconds, int msec);

// Decimal digits of value with at least minDigits digits (zero-filled, at most 8), into buf
// (at least 32 bytes); returns the count of characters written.
qsizetype LogDecimal(char *buf, qint64 value, int minDigits);

struct TLogPrefixFields {
    TLogTime time;
    qint64 processId = 0;
    qint64 threadId = 0;
    quint32 category = 0;
    quint32 kind = 0;
    QString sourceName;
};

// "[...] " with the fields the options select; empty when options is 0.
QString LogPrefix(quint32 options, const TLogPrefixFields &fields, const TLogLocaleInfo &locale);

// Pieces of the prefix, so that a caller can keep the parts that change seldom as text:
// "[" + LogAppendDateToSeconds + LogAppendMilliseconds (option 1) + LogAppendPrefixTail.
struct TLogPrefixTail {
    QLatin1StringView processIdText; // "%.3d"
    QLatin1StringView threadIdText;  // "%.3d"
    quint32 category = 0;
    quint32 kind = 0;
    QStringView sourceName;
};
// "dd/mmm/yy hh:nn:ss:" with the locale's names and separators.
void LogAppendDateToSeconds(TLogText &out, const TLogTime &time, const TLogLocaleInfo &locale);
void LogAppendMilliseconds(TLogText &out, int msec);
// The fields after the date, and "] ".
void LogAppendPrefixTail(TLogText &out, quint32 options, const TLogPrefixTail &tail);

// Every character outside 32..126, except 169, becomes "[#n]" with n its code (a surrogate
// pair counts as one character). The result is UTF-8: ASCII plus the copyright sign.
QByteArray LogEscape(QStringView line);
void LogAppendEscaped(QByteArray &out, QStringView line);

// The path a file sink tries after its count-th failed open: the count inserted before the
// first '.' of the file name, or appended when the name has none. A name that would grow
// beyond what a file system accepts is returned unchanged.
QString LogChangedPath(const QString &path, int count);

// SPDX-License-Identifier: MIT
// Pure pieces of the log line: message formatting, the bracketed prefix, escaping, and the
// path change of a log file that cannot be opened. No I/O, no global state.
#pragma once

#include "LogArg.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <QStringView>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>

// Copies n bytes; with checkAscii, also tells whether they are all ASCII. The short runs a log
// line is made of are moved as overlapping words, without a call.
template <bool checkAscii = false>
Q_ALWAYS_INLINE bool LogCopyBytes(char *dst, const char *src, qsizetype n) {
    constexpr quint64 highBits = 0x8080808080808080ull;
    if (n >= 8) {
        quint64 high = 0;
        quint64 word;
        if (n > 16 && !checkAscii) {
#ifdef __SSE2__
            // Sixteen bytes at a time, the last sixteen overlapping the ones before.
            for (qsizetype i = 0; i + 16 < n; i += 16)
                _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + n - 16),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + n - 16)));
#else
            std::memcpy(dst, src, size_t(n));
#endif
            return true;
        }
        for (qsizetype i = 0; i + 8 < n; i += 8) {
            std::memcpy(&word, src + i, 8);
            high |= word;
            std::memcpy(dst + i, &word, 8);
        }
        std::memcpy(&word, src + n - 8, 8);
        high |= word;
        std::memcpy(dst + n - 8, &word, 8);
        return !(high & highBits);
    }
    if (n >= 4) {
        quint32 head;
        quint32 tail;
        std::memcpy(&head, src, 4);
        std::memcpy(&tail, src + n - 4, 4);
        std::memcpy(dst, &head, 4);
        std::memcpy(dst + n - 4, &tail, 4);
        return !((head | tail) & quint32(highBits));
    }
    if (n > 0) {
        const char first = src[0];
        const char middle = src[n / 2];
        const char last = src[n - 1];
        dst[0] = first;
        dst[n / 2] = middle;
        dst[n - 1] = last;
        return !((first | middle | last) & 0x80);
    }
    return true;
}

// A line under construction: UTF-16 (TLogText), or Latin-1 (TLogLatin1Text) for the common
// line that has no character above 255. Appends are inline and the capacity stays when the
// text is emptied, so a buffer reused from line to line seldom allocates. A Latin-1 buffer that
// is given a character above 255 marks itself wide: its text is then of no use, and the line
// has to be built again in UTF-16.
template <typename Char> class TLogBuffer {
    static_assert(std::is_same_v<Char, char16_t> || std::is_same_v<Char, char>);
    static constexpr bool latin1 = std::is_same_v<Char, char>;

public:
    TLogBuffer() = default;
    TLogBuffer(const TLogBuffer &) = delete;
    TLogBuffer &operator=(const TLogBuffer &) = delete;

    qsizetype size() const { return m_size; }
    Char *data() { return m_data.get(); }
    auto view() const {
        if constexpr (latin1)
            return QLatin1StringView(m_data.get(), m_size);
        else
            return QStringView(m_data.get(), m_size);
    }
    QString toString() const {
        if constexpr (latin1)
            return QString::fromLatin1(m_data.get(), m_size);
        else
            return view().toString();
    }
    // Only a Latin-1 buffer becomes wide; emptying it clears the mark.
    bool isWide() const { return m_wide; }
    void clear() {
        m_size = 0;
        m_wide = false;
    }

    // Growing leaves the new characters undefined.
    void resize(qsizetype size) {
        if (size > m_capacity)
            reserve(size);
        m_size = size;
    }
    Q_ALWAYS_INLINE void append(QStringView text) {
        Char *dst = grow(text.size());
        if (text.isEmpty())
            return;
        if constexpr (latin1)
            m_wide |= !narrow(dst, text.utf16(), text.size());
        else
            std::memcpy(dst, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    }
    Q_ALWAYS_INLINE void append(QLatin1StringView text) {
        Char *dst = grow(text.size());
        const char *src = text.data();
        if constexpr (latin1) {
            LogCopyBytes(dst, src, text.size());
        } else {
            for (qsizetype i = 0; i < text.size(); ++i)
                dst[i] = static_cast<unsigned char>(src[i]);
        }
    }
    void append(QChar c) {
        if constexpr (latin1)
            m_wide |= c.unicode() > 0xFF;
        *grow(1) = Char(c.unicode());
    }
    void append(QLatin1Char c) { *grow(1) = Char(c.unicode()); }
    // Another buffer's text, and its wide mark.
    Q_ALWAYS_INLINE void append(const TLogBuffer &other) {
        append(other.view());
        m_wide |= other.m_wide;
    }
    template <typename Text> TLogBuffer &operator+=(const Text &text) {
        append(text);
        return *this;
    }
    TLogBuffer &operator+=(const QString &text) {
        append(QStringView(text));
        return *this;
    }

private:
    Q_ALWAYS_INLINE Char *grow(qsizetype count) {
        if (m_size + count > m_capacity)
            reserve(m_size + count);
        Char *at = m_data.get() + m_size;
        m_size += count;
        return at;
    }
    Q_NEVER_INLINE void reserve(qsizetype needed) {
        const qsizetype capacity = std::max<qsizetype>({needed, 2 * m_capacity, 256});
        std::unique_ptr<Char[]> data(new Char[size_t(capacity)]);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), size_t(m_size) * sizeof(Char));
        m_data = std::move(data);
        m_capacity = capacity;
    }
    // Copies n characters as bytes; false when one of them is above 255.
    static bool narrow(char *dst, const char16_t *src, qsizetype n) {
#ifdef __SSE2__
        if (n >= 8) {
            __m128i highBits = _mm_setzero_si128();
            // Eight characters at a time, the last eight overlapping the ones before.
            for (qsizetype i = 0;; i += 8) {
                if (i + 8 > n)
                    i = n - 8;
                const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
                highBits = _mm_or_si128(highBits, chars);
                _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + i),
                                 _mm_packus_epi16(chars, chars));
                if (i + 8 == n)
                    break;
            }
            // A character above 255 has a bit in the high byte of its lane.
            return _mm_movemask_epi8(
                       _mm_cmpeq_epi8(_mm_srli_epi16(highBits, 8), _mm_setzero_si128())) == 0xFFFF;
        }
#endif
        char16_t high = 0;
        for (qsizetype i = 0; i < n; ++i) {
            high |= src[i];
            dst[i] = char(src[i]);
        }
        return high <= 0xFF;
    }

    std::unique_ptr<Char[]> m_data;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
    bool m_wide = false;
};

using TLogText = TLogBuffer<char16_t>;
using TLogLatin1Text = TLogBuffer<char>;

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
// A Latin-1 out that turns wide holds no usable text, but the result is the same as in UTF-16.
bool LogAppendMessage(TLogText &out, const char *format, std::span<const TLogArg> args);
bool LogAppendMessage(TLogLatin1Text &out, const char *format, std::span<const TLogArg> args);

// "CZv   ", "CZvCom" or "C%.5d".
QString LogCategoryLabel(quint32 category);
void LogAppendCategoryLabel(TLogText &out, quint32 category);
void LogAppendCategoryLabel(TLogLatin1Text &out, quint32 category);
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
void LogAppendDateToSeconds(TLogLatin1Text &out, const TLogTime &time,
                            const TLogLocaleInfo &locale);
template <typename Char> void LogAppendMilliseconds(TLogBuffer<Char> &out, int msec) {
    const Char digits[3] = {Char('0' + msec / 100 % 10), Char('0' + msec / 10 % 10),
                            Char('0' + msec % 10)};
    const qsizetype at = out.size();
    out.resize(at + 3);
    std::memcpy(out.data() + at, digits, sizeof digits);
}
// The fields after the date, and "] ".
void LogAppendPrefixTail(TLogText &out, quint32 options, const TLogPrefixTail &tail);
void LogAppendPrefixTail(TLogLatin1Text &out, quint32 options, const TLogPrefixTail &tail);

// Every character outside 32..126, except 169, becomes "[#n]" with n its code (a surrogate
// pair counts as one character). The result is UTF-8: ASCII plus the copyright sign.
QByteArray LogEscape(QStringView line);
void LogAppendEscaped(QByteArray &out, QStringView line);
// The same for a Latin-1 line, which replaces the content of out; true when no character
// needed escaping, so that out is also the line's UTF-8.
bool LogEscapeInto(QByteArray &out, QLatin1StringView line);
// Room that a Latin-1 line of size characters may need escaped ("[#255]" for each at most).
constexpr qsizetype LogEscapedBound(qsizetype size) {
    return 6 * size;
}
// Writes the escaped Latin-1 line to out, which has LogEscapedBound(line.size()) bytes of room;
// returns the count written.
qsizetype LogEscapeInto(char *out, QLatin1StringView line);
// A Latin-1 line as UTF-8.
void LogAppendUtf8(QByteArray &out, QLatin1StringView line);

// The path a file sink tries after its count-th failed open: the count inserted before the
// first '.' of the file name, or appended when the name has none. A name that would grow
// beyond what a file system accepts is returned unchanged.
QString LogChangedPath(const QString &path, int count);

// SPDX-License-Identifier: MIT
#include "LogFormat.h"

#include "ZvLocaleInfo.h"

#include <QStringDecoder>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

struct ConversionSpec {
    bool leftJustify = false;
    bool zeroPad = false;
    bool plusSign = false;
    bool blankSign = false;
    bool alternate = false;
    int width = 0;
    int precision = -1; // -1: none given
    char letter = 0;    // as written
};

bool isAscii(QByteArrayView bytes) {
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    // Eight bytes at a time: any high bit is a non-ASCII byte.
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; p < end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    return true;
}

QString bytesToText(QByteArrayView bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Not UTF-8: keep every byte as the character of the same code, so it escapes as itself.
    return QString::fromLatin1(bytes);
}

template <typename Char>
Q_NEVER_INLINE void appendDecoded(TLogBuffer<Char> &out, QByteArrayView bytes) {
    out.append(bytesToText(bytes));
}

template <typename Char>
Q_ALWAYS_INLINE void appendText(TLogBuffer<Char> &out, QByteArrayView bytes) {
    // Copied as ASCII in one pass; taken back and decoded when a byte was not ASCII.
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    Char *dst = out.data() + start;
    if constexpr (std::is_same_v<Char, char>) {
        if (LogCopyBytes<true>(dst, bytes.data(), bytes.size())) [[likely]]
            return;
    } else {
        unsigned char high = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            high |= c;
            dst[i] = Char(c);
        }
        if (high < 0x80)
            return;
    }
    out.resize(start);
    appendDecoded(out, bytes);
}

// Digits of value in base, into buf (at least 72 bytes); returns their count.
qsizetype digitsOf(char *buf, quint64 value, int base, bool upper) {
    const auto res = std::to_chars(buf, buf + 72, value, base);
    const qsizetype count = res.ptr - buf;
    if (upper)
        for (qsizetype i = 0; i < count; ++i)
            if (buf[i] >= 'a' && buf[i] <= 'z')
                buf[i] = char(buf[i] - 'a' + 'A');
    return count;
}

template <typename Char> void appendFill(TLogBuffer<Char> &out, qsizetype count, char c) {
    if (count <= 0)
        return;
    const qsizetype old = out.size();
    out.resize(old + count);
    std::fill_n(out.data() + old, count, Char(c));
}

// Appends one converted field padded to its width; sign/prefix stay in front of zero padding.
// body is Latin-1 (numbers) or UTF-16 (text).
template <typename Out, typename Body>
void appendField(Out &out, const ConversionSpec &spec, QLatin1StringView prefix, const Body &body,
                 bool numeric) {
    if (spec.width == 0 && prefix.isEmpty()) {
        out.append(body);
        return;
    }
    const qsizetype fill = spec.width - (prefix.size() + body.size());
    if (fill > 0 && !spec.leftJustify && !(numeric && spec.zeroPad))
        appendFill(out, fill, ' ');
    out.append(prefix);
    if (fill > 0 && !spec.leftJustify && numeric && spec.zeroPad)
        appendFill(out, fill, '0');
    out.append(body);
    if (fill > 0 && spec.leftJustify)
        appendFill(out, fill, ' ');
}

QLatin1StringView signPrefix(const ConversionSpec &spec, bool negative) {
    if (negative)
        return QLatin1StringView("-");
    if (spec.plusSign)
        return QLatin1StringView("+");
    if (spec.blankSign)
        return QLatin1StringView(" ");
    return {};
}

// Two's complement of a negative argument at its own width, as printf shows it.
quint64 asUnsigned(const TLogArg &arg) {
    if (arg.isSigned() && !arg.isWide())
        return quint32(arg.unsignedValue());
    return arg.unsignedValue();
}

template <typename Out>
bool convertInteger(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    if (!arg.isInteger())
        return false;
    const char lower = char(spec.letter | 0x20);
    bool negative = false;
    quint64 magnitude = 0;
    int base = 10;
    if (lower == 'd' || lower == 'i') {
        if (arg.isSigned() && arg.signedValue() < 0) {
            negative = true;
            magnitude = 0 - arg.unsignedValue();
        } else {
            magnitude = arg.unsignedValue();
        }
    } else {
        magnitude = asUnsigned(arg);
        base = lower == 'x' ? 16 : lower == 'o' ? 8 : 10;
    }
    // Zeros for the precision, then the digits.
    constexpr qsizetype maxPrecision = 10000;
    char raw[72];
    const qsizetype count = (spec.precision == 0 && magnitude == 0)
                                ? 0
                                : digitsOf(raw, magnitude, base, spec.letter == 'X');
    qsizetype zeros = qMin<qsizetype>(spec.precision, maxPrecision) - count;
    QLatin1StringView prefix = base == 10 ? signPrefix(spec, negative) : QLatin1StringView();
    if (spec.alternate && magnitude != 0) {
        if (base == 16)
            prefix = spec.letter == 'X' ? QLatin1StringView("0X") : QLatin1StringView("0x");
        else if (base == 8 && zeros <= 0)
            zeros = 1;
    }
    ConversionSpec padding = spec;
    if (spec.precision >= 0)
        padding.zeroPad = false;
    if (zeros <= 0) {
        appendField(out, padding, prefix, QLatin1StringView(raw, count), true);
        return true;
    }
    QByteArray digits(zeros, '0');
    digits.append(raw, count);
    appendField(out, padding, prefix, QLatin1StringView(digits), true);
    return true;
}

template <typename Out>
bool convertDouble(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Double)
        return false;
    const char lower = char(spec.letter | 0x20);
    const bool upper = spec.letter != lower;
    const std::chars_format format = lower == 'f'   ? std::chars_format::fixed
                                     : lower == 'e' ? std::chars_format::scientific
                                                    : std::chars_format::general;
    const int precision = spec.precision < 0 ? 6 : spec.precision;
    const double value = arg.doubleValue();
    const bool negative = std::signbit(value);
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, negative ? -value : value, format,
                                   lower == 'g' && precision == 0 ? 1 : precision);
    if (res.ec != std::errc())
        return false;
    if (upper)
        for (char *c = buf; c < res.ptr; ++c)
            if (*c >= 'a' && *c <= 'z')
                *c = char(*c - 'a' + 'A');
    ConversionSpec padding = spec;
    if (!std::isfinite(value))
        padding.zeroPad = false;
    appendField(out, padding, signPrefix(spec, negative), QLatin1StringView(buf, res.ptr - buf),
                true);
    return true;
}

template <typename Out> bool convertChar(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Char && !arg.isInteger())
        return false;
    const char32_t code = char32_t(arg.unsignedValue());
    if (code > 0x10FFFF)
        return false;
    char16_t text[2];
    qsizetype length = 1;
    if (QChar::requiresSurrogates(code)) {
        text[0] = QChar::highSurrogate(code);
        text[1] = QChar::lowSurrogate(code);
        length = 2;
    } else {
        text[0] = char16_t(code);
    }
    appendField(out, spec, {}, QStringView(text, length), false);
    return true;
}

template <typename Out>
bool convertString(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    auto appendClipped = [&](const auto &text) {
        const qsizetype keep =
            spec.precision >= 0 ? qMin<qsizetype>(spec.precision, text.size()) : text.size();
        appendField(out, spec, {}, text.first(keep), false);
    };
    switch (arg.kind()) {
    case TLogArg::Kind::Text:
        appendClipped(arg.text());
        return true;
    case TLogArg::Kind::Bytes:
        if (isAscii(arg.bytes())) {
            appendClipped(QLatin1StringView(arg.bytes().data(), arg.bytes().size()));
        } else {
            const QString text = bytesToText(arg.bytes());
            appendClipped(QStringView(text));
        }
        return true;
    case TLogArg::Kind::Char:
        return convertChar(out, spec, arg);
    default:
        return false;
    }
}

template <typename Out>
bool convertPointer(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Pointer && !arg.isInteger())
        return false;
    char raw[72];
    const qsizetype count = digitsOf(raw, arg.unsignedValue(), 16, false);
    appendField(out, spec, QLatin1StringView("0x"), QLatin1StringView(raw, count), false);
    return true;
}

template <typename Out> bool convert(Out &out, const ConversionSpec &spec, const TLogArg &arg) {
    switch (spec.letter | 0x20) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'o':
        return convertInteger(out, spec, arg);
    case 'f':
    case 'e':
    case 'g':
        return convertDouble(out, spec, arg);
    case 'c':
        return convertChar(out, spec, arg);
    case 's':
        return convertString(out, spec, arg);
    case 'p':
        return convertPointer(out, spec, arg);
    default:
        return false;
    }
}

// Reads digits or '*' (taking the next argument). False on a missing or non-integer argument.
bool readNumber(const char *&p, std::span<const TLogArg> args, size_t &next, int &out) {
    if (*p == '*') {
        ++p;
        if (next >= args.size() || !args[next].isInteger())
            return false;
        const qint64 v = args[next++].signedValue();
        out = int(std::clamp<qint64>(v, -10000, 10000));
        return true;
    }
    out = 0;
    while (*p >= '0' && *p <= '9') {
        out = qMin(out * 10 + (*p - '0'), 10000);
        ++p;
    }
    return true;
}

void skipLengthModifier(const char *&p) {
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        p += 3;
        return;
    }
    if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        p += 3;
        return;
    }
    while (*p == 'h' || *p == 'l' || *p == 'L' || *p == 'q' || *p == 'j' || *p == 'z' || *p == 't')
        ++p;
}

} // namespace

std::optional<QString> LogFormatMessage(const char *format, std::span<const TLogArg> args) {
    TLogText out;
    if (!LogAppendMessage(out, format, args))
        return std::nullopt;
    return out.toString();
}

namespace {

// Letters that are a conversion when they stand straight after the '%' (not a length modifier).
constexpr std::array<bool, 256> bareConversions = [] {
    std::array<bool, 256> letters{};
    for (int c = 'a'; c <= 'z'; ++c)
        letters[size_t(c)] = letters[size_t(c - 'a' + 'A')] = true;
    for (const char c : {'h', 'l', 'L', 'q', 'j', 'z', 't', 'I'})
        letters[size_t(c)] = false;
    return letters;
}();

// A conversion without flags, width or precision; the common ones take a short way.
template <typename Out> bool convertBare(Out &out, char letter, const TLogArg &arg) {
    switch (letter | 0x20) {
    case 's':
        if (arg.kind() == TLogArg::Kind::Text) {
            out.append(arg.text());
            return true;
        }
        if (arg.kind() == TLogArg::Kind::Bytes) {
            appendText(out, arg.bytes());
            return true;
        }
        break;
    case 'd':
    case 'i':
        if (arg.isInteger()) {
            const bool negative = arg.isSigned() && arg.signedValue() < 0;
            quint64 magnitude = negative ? 0 - arg.unsignedValue() : arg.unsignedValue();
            char buf[24];
            char *const end = buf + sizeof buf;
            char *digit = end;
            for (; magnitude > 0xFFFFFFFFu; magnitude /= 10)
                *--digit = char('0' + magnitude % 10);
            // The rest in 32 bits, which divide faster.
            auto small = quint32(magnitude);
            do {
                *--digit = char('0' + small % 10);
                small /= 10;
            } while (small != 0);
            if (negative)
                *--digit = '-';
            out.append(QLatin1StringView(digit, end - digit));
            return true;
        }
        break;
    default:
        break;
    }
    ConversionSpec spec;
    spec.letter = letter;
    return convert(out, spec, arg);
}

template <typename Out>
bool appendMessage(Out &out, const char *format, std::span<const TLogArg> args) {
    if (!format)
        return false;
    size_t next = 0;
    const char *p = format;
    for (;;) {
        const char *const literal = p;
        p = ::strchrnul(p, '%');
        if (p != literal)
            appendText(out, QByteArrayView(literal, p - literal));
        if (*p == 0)
            return true;
        ++p;
        if (*p == '%') {
            out += QLatin1Char('%');
            ++p;
            continue;
        }
        if (bareConversions[static_cast<unsigned char>(*p)]) {
            if (next >= args.size())
                return false;
            const char letter = *p++;
            if (!convertBare(out, letter, args[next++]))
                return false;
            continue;
        }
        // An argument index ("%1:s") moves the argument cursor.
        const char *digits = p;
        size_t index = 0;
        while (*digits >= '0' && *digits <= '9' && index < 1000)
            index = index * 10 + size_t(*digits++ - '0');
        if (digits != p && *digits == ':') {
            next = index;
            p = digits + 1;
        }
        ConversionSpec spec;
        for (;; ++p) {
            if (*p == '-')
                spec.leftJustify = true;
            else if (*p == '0')
                spec.zeroPad = true;
            else if (*p == '+')
                spec.plusSign = true;
            else if (*p == ' ')
                spec.blankSign = true;
            else if (*p == '#')
                spec.alternate = true;
            else
                break;
        }
        if (!readNumber(p, args, next, spec.width))
            return false;
        if (spec.width < 0) {
            spec.leftJustify = true;
            spec.width = -spec.width;
        }
        if (*p == '.') {
            ++p;
            if (!readNumber(p, args, next, spec.precision))
                return false;
            if (spec.precision < 0)
                spec.precision = -1;
        }
        skipLengthModifier(p);
        if (!*p || next >= args.size())
            return false;
        spec.letter = *p++;
        if (!convert(out, spec, args[next++]))
            return false;
    }
}

template <typename Out> void appendCategoryLabel(Out &out, quint32 category) {
    if (category == 0x10000) {
        out.append(QLatin1StringView("CZv   "));
        return;
    }
    if (category == 0x20000) {
        out.append(QLatin1StringView("CZvCom"));
        return;
    }
    char buf[24];
    out.append(QLatin1Char('C'));
    out.append(QLatin1StringView(buf, LogDecimal(buf, category, 5)));
}

} // namespace

bool LogAppendMessage(TLogText &out, const char *format, std::span<const TLogArg> args) {
    return appendMessage(out, format, args);
}

bool LogAppendMessage(TLogLatin1Text &out, const char *format, std::span<const TLogArg> args) {
    return appendMessage(out, format, args);
}

QString LogCategoryLabel(quint32 category) {
    TLogText out;
    LogAppendCategoryLabel(out, category);
    return out.toString();
}

void LogAppendCategoryLabel(TLogText &out, quint32 category) {
    appendCategoryLabel(out, category);
}

void LogAppendCategoryLabel(TLogLatin1Text &out, quint32 category) {
    appendCategoryLabel(out, category);
}

QChar LogKindLetter(quint32 kind) {
    static constexpr char letters[] = "?eweiewedewe";
    return kind < 12 ? QLatin1Char(letters[kind]) : QLatin1Char('?');
}

qsizetype LogDecimal(char *buf, qint64 value, int minDigits) {
    char *p = buf;
    quint64 magnitude = quint64(value);
    if (value < 0) {
        *p++ = '-';
        magnitude = 0 - magnitude;
    }
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, magnitude);
    const qsizetype count = res.ptr - digits;
    for (qsizetype i = count; i < qMin(minDigits, 8); ++i)
        *p++ = '0';
    std::memcpy(p, digits, size_t(count));
    return (p + count) - buf;
}

namespace {

template <typename Out> void appendNumber(Out &out, qint64 value, int minDigits) {
    char buf[32];
    out.append(QLatin1StringView(buf, LogDecimal(buf, value, minDigits)));
}

} // namespace

TLogLocaleInfo TLogLocaleInfo::fromLocale(const QLocale &locale) {
    TLogLocaleInfo info;
    for (int m = 1; m <= 12; ++m) {
        const QString name = zv::monthAbbreviation(m, locale);
        if (!name.isEmpty())
            info.monthAbbreviations[size_t(m - 1)] = name;
    }
    if (const QString date = zv::dateSeparator(locale); !date.isEmpty())
        info.dateSeparator = date;
    if (const QString time = zv::timeSeparator(locale); !time.isEmpty())
        info.timeSeparator = time;
    return info;
}

namespace {

template <typename Out>
void appendDateToSeconds(Out &out, const TLogTime &t, const TLogLocaleInfo &locale) {
    appendNumber(out, t.day, 2);
    out += locale.dateSeparator;
    out += locale.monthAbbreviations[size_t(qBound(1, t.month, 12) - 1)];
    out += locale.dateSeparator;
    appendNumber(out, t.year % 100, 2);
    out += QLatin1Char(' ');
    appendNumber(out, t.hour, 2);
    out += locale.timeSeparator;
    appendNumber(out, t.minute, 2);
    out += locale.timeSeparator;
    appendNumber(out, t.second, 2);
    out += locale.timeSeparator;
}

template <typename Out>
void appendPrefixTail(Out &out, quint32 options, const TLogPrefixTail &tail) {
    if (options & 0x02) {
        out += QLatin1StringView(" P");
        out += tail.processIdText;
    }
    if (options & 0x04) {
        out += QLatin1StringView(" T");
        out += tail.threadIdText;
    }
    if (options & 0x08)
        appendCategoryLabel(out, tail.category);
    if (options & 0x10) {
        out += QLatin1Char(' ');
        out += LogKindLetter(tail.kind);
    }
    if ((options & 0x20) && !tail.sourceName.isEmpty()) {
        out += QLatin1Char(' ');
        out += tail.sourceName;
    }
    out += QLatin1StringView("] ");
}

} // namespace

void LogAppendDateToSeconds(TLogText &out, const TLogTime &time, const TLogLocaleInfo &locale) {
    appendDateToSeconds(out, time, locale);
}

void LogAppendDateToSeconds(TLogLatin1Text &out, const TLogTime &time,
                            const TLogLocaleInfo &locale) {
    appendDateToSeconds(out, time, locale);
}

void LogAppendPrefixTail(TLogText &out, quint32 options, const TLogPrefixTail &tail) {
    appendPrefixTail(out, options, tail);
}

void LogAppendPrefixTail(TLogLatin1Text &out, quint32 options, const TLogPrefixTail &tail) {
    appendPrefixTail(out, options, tail);
}

QString LogPrefix(quint32 options, const TLogPrefixFields &fields, const TLogLocaleInfo &locale) {
    if (options == 0)
        return {};
    TLogText out;
    out += QLatin1Char('[');
    if (options & 0x01) {
        LogAppendDateToSeconds(out, fields.time, locale);
        LogAppendMilliseconds(out, fields.time.msec);
    }
    char pid[24];
    char tid[24];
    const TLogPrefixTail tail{QLatin1StringView(pid, LogDecimal(pid, fields.processId, 3)),
                              QLatin1StringView(tid, LogDecimal(tid, fields.threadId, 3)),
                              fields.category, fields.kind, fields.sourceName};
    LogAppendPrefixTail(out, options, tail);
    return out.toString();
}

QByteArray LogEscape(QStringView line) {
    QByteArray out;
    LogAppendEscaped(out, line);
    return out;
}

namespace {

// Copies the characters of src that are within 32..126 as bytes to dst, up to the first one
// outside; returns how many it copied. dst has room for n bytes.
qsizetype copyPrintableRun(char *dst, const char16_t *src, qsizetype n) {
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight characters at a time: both bounds compared as signed 16-bit values (codes from
    // 0x8000 up are negative and fail the lower bound), then packed to bytes.
    const __m128i below = _mm_set1_epi16(32 - 1);
    const __m128i above = _mm_set1_epi16(126 + 1);
    for (; i + 8 <= n; i += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        const __m128i printable =
            _mm_and_si128(_mm_cmpgt_epi16(chars, below), _mm_cmplt_epi16(chars, above));
        if (_mm_movemask_epi8(printable) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(chars, chars));
    }
#endif
    for (; i < n && src[i] >= 32 && src[i] <= 126; ++i)
        dst[i] = char(src[i]);
    return i;
}

} // namespace

void LogAppendEscaped(QByteArray &out, QStringView line) {
    const qsizetype n = line.size();
    const char16_t *src = line.utf16();
    // Room for the whole line as it is, which is all it needs when nothing is escaped.
    const qsizetype start = out.size();
    out.resize(start + n);
    qsizetype i = copyPrintableRun(out.data() + start, src, n);
    if (i == n)
        return;
    out.resize(start + i);
    while (i < n) {
        const char16_t c = src[i++];
        if (c == 169) {
            out += "\xC2\xA9";
        } else {
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && i < n && QChar::isLowSurrogate(src[i]))
                code = QChar::surrogateToUcs4(c, src[i++]);
            char buf[16];
            const auto res = std::to_chars(buf, buf + sizeof buf, quint32(code));
            out += "[#";
            out.append(buf, res.ptr - buf);
            out += ']';
        }
        const qsizetype old = out.size();
        out.resize(old + (n - i));
        const qsizetype copied = copyPrintableRun(out.data() + old, src + i, n - i);
        out.resize(old + copied);
        i += copied;
    }
}

namespace {

// The Latin-1 counterpart of copyPrintableRun; may also write bytes after the run (up to n).
qsizetype copyPrintableBytes(char *dst, const char *src, qsizetype n) {
    qsizetype i = 0;
#ifdef __SSE2__
    if (n >= 16) {
        // Sixteen bytes at a time, the last sixteen overlapping the ones before. Compared as
        // signed: bytes from 0x80 up fail the lower bound.
        const __m128i below = _mm_set1_epi8(32 - 1);
        const __m128i above = _mm_set1_epi8(126 + 1);
        const auto block = [&](qsizetype at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + at));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + at), bytes);
            return unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpgt_epi8(bytes, below), _mm_cmplt_epi8(bytes, above))));
        };
        for (; i + 16 <= n; i += 16)
            if (const unsigned printable = block(i); printable != 0xFFFF)
                return i + std::countr_one(printable);
        if (i == n)
            return n;
        i = n - 16;
        const unsigned printable = block(i);
        return i + std::countr_one(printable);
    }
#endif
    for (; i < n && src[i] >= 32 && src[i] <= 126; ++i)
        dst[i] = src[i];
    return i;
}

} // namespace

qsizetype LogEscapeInto(char *out, QLatin1StringView line) {
    const qsizetype n = line.size();
    const char *src = line.data();
    qsizetype i = copyPrintableBytes(out, src, n);
    char *dst = out + i;
    while (i < n) {
        const auto c = static_cast<unsigned char>(src[i++]);
        if (c == 169) {
            *dst++ = char(0xC2);
            *dst++ = char(0xA9);
        } else {
            *dst++ = '[';
            *dst++ = '#';
            dst = std::to_chars(dst, dst + 3, unsigned(c)).ptr;
            *dst++ = ']';
        }
        const qsizetype copied = copyPrintableBytes(dst, src + i, n - i);
        dst += copied;
        i += copied;
    }
    return dst - out;
}

bool LogEscapeInto(QByteArray &out, QLatin1StringView line) {
    const qsizetype n = line.size();
    out.resize(n);
    if (copyPrintableBytes(out.data(), line.data(), n) == n)
        return true;
    out.resize(LogEscapedBound(n));
    out.resize(LogEscapeInto(out.data(), line));
    return false;
}

void LogAppendUtf8(QByteArray &out, QLatin1StringView line) {
    const qsizetype start = out.size();
    out.resize(start + 2 * line.size());
    char *dst = out.data() + start;
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            *dst++ = char(c);
        } else {
            *dst++ = char(0xC0 | (c >> 6));
            *dst++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(dst - out.constData());
}

TLogTime LogLocalTime(qint64 seconds, int msec) {
    const time_t secs = time_t(seconds);
    tm local{};
    ::localtime_r(&secs, &local);
    TLogTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.msec = msec;
    return t;
}

TLogTime LogLocalTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return LogLocalTime(now.tv_sec, int(now.tv_nsec / 1000000));
}

QString LogChangedPath(const QString &path, int count) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const QString number = QString::number(count);
    // NAME_MAX of the common Linux file systems, in bytes.
    constexpr qsizetype maxNameBytes = 255;
    if (QStringView(path).mid(nameStart).toUtf8().size() + number.toUtf8().size() > maxNameBytes)
        return path;
    const qsizetype dot = path.indexOf(QLatin1Char('.'), nameStart);
    QString changed = path;
    if (dot < 0)
        changed.append(number);
    else
        changed.insert(dot, number);
    return changed;
}

// SPDX-License-Identifier: MIT
#include "LogFormat.h"

#include "ZvLocaleInfo.h"

#include <QStringDecoder>

#include <algorithm>
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
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
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

void appendText(QString &out, QByteArrayView bytes) {
    if (isAscii(bytes))
        out.append(QLatin1StringView(bytes.data(), bytes.size()));
    else
        out.append(bytesToText(bytes));
}

QString digitsOf(quint64 value, int base, bool upper) {
    char buf[72];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, base);
    QString s = QString::fromLatin1(buf, res.ptr - buf);
    return upper ? s.toUpper() : s;
}

// Pads a converted field to its width. sign/prefix stay in front of zero padding.
QString padField(const ConversionSpec &spec, const QString &prefix, const QString &body,
                 bool numeric) {
    const qsizetype length = prefix.size() + body.size();
    if (length >= spec.width)
        return prefix + body;
    const qsizetype fill = spec.width - length;
    if (spec.leftJustify)
        return prefix + body + QString(fill, QLatin1Char(' '));
    if (numeric && spec.zeroPad)
        return prefix + QString(fill, QLatin1Char('0')) + body;
    return QString(fill, QLatin1Char(' ')) + prefix + body;
}

QString signPrefix(const ConversionSpec &spec, bool negative) {
    if (negative)
        return QStringLiteral("-");
    if (spec.plusSign)
        return QStringLiteral("+");
    if (spec.blankSign)
        return QStringLiteral(" ");
    return {};
}

// Two's complement of a negative argument at its own width, as printf shows it.
quint64 asUnsigned(const TLogArg &arg) {
    if (arg.isSigned() && !arg.isWide())
        return quint32(arg.unsignedValue());
    return arg.unsignedValue();
}

std::optional<QString> convertInteger(const ConversionSpec &spec, const TLogArg &arg) {
    if (!arg.isInteger())
        return std::nullopt;
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
    QString digits = (spec.precision == 0 && magnitude == 0)
                         ? QString()
                         : digitsOf(magnitude, base, spec.letter == 'X');
    if (spec.precision > digits.size())
        digits.prepend(QString(spec.precision - digits.size(), QLatin1Char('0')));
    QString prefix = base == 10 ? signPrefix(spec, negative) : QString();
    if (spec.alternate && magnitude != 0) {
        if (base == 16)
            prefix = spec.letter == 'X' ? QStringLiteral("0X") : QStringLiteral("0x");
        else if (base == 8 && !digits.startsWith(QLatin1Char('0')))
            digits.prepend(QLatin1Char('0'));
    }
    ConversionSpec padding = spec;
    if (spec.precision >= 0)
        padding.zeroPad = false;
    return padField(padding, prefix, digits, true);
}

std::optional<QString> convertDouble(const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Double)
        return std::nullopt;
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
        return std::nullopt;
    QString body = QString::fromLatin1(buf, res.ptr - buf);
    if (upper)
        body = body.toUpper();
    const bool finite = std::isfinite(value);
    ConversionSpec padding = spec;
    if (!finite)
        padding.zeroPad = false;
    return padField(padding, signPrefix(spec, negative), body, true);
}

std::optional<QString> convertChar(const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Char && !arg.isInteger())
        return std::nullopt;
    const char32_t code = char32_t(arg.unsignedValue());
    if (code > 0x10FFFF)
        return std::nullopt;
    return padField(spec, {}, QString::fromUcs4(&code, 1), false);
}

std::optional<QString> convertString(const ConversionSpec &spec, const TLogArg &arg) {
    QString text;
    switch (arg.kind()) {
    case TLogArg::Kind::Text:
        text = arg.text().toString();
        break;
    case TLogArg::Kind::Bytes:
        text = bytesToText(arg.bytes());
        break;
    case TLogArg::Kind::Char:
        return convertChar(spec, arg);
    default:
        return std::nullopt;
    }
    if (spec.precision >= 0 && spec.precision < text.size())
        text.truncate(spec.precision);
    return padField(spec, {}, text, false);
}

std::optional<QString> convertPointer(const ConversionSpec &spec, const TLogArg &arg) {
    if (arg.kind() != TLogArg::Kind::Pointer && !arg.isInteger())
        return std::nullopt;
    return padField(spec, QStringLiteral("0x"), digitsOf(arg.unsignedValue(), 16, false), false);
}

std::optional<QString> convert(const ConversionSpec &spec, const TLogArg &arg) {
    switch (spec.letter | 0x20) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'o':
        return convertInteger(spec, arg);
    case 'f':
    case 'e':
    case 'g':
        return convertDouble(spec, arg);
    case 'c':
        return convertChar(spec, arg);
    case 's':
        return convertString(spec, arg);
    case 'p':
        return convertPointer(spec, arg);
    default:
        return std::nullopt;
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
    if (!format)
        return std::nullopt;
    QString out;
    size_t next = 0;
    const char *p = format;
    const char *literal = p;
    out.reserve(qsizetype(std::strlen(format)) + 32);
    auto flushLiteral = [&](const char *end) {
        if (end > literal)
            appendText(out, QByteArrayView(literal, end - literal));
    };
    while (*p) {
        if (*p != '%') {
            ++p;
            continue;
        }
        flushLiteral(p);
        ++p;
        if (*p == '%') {
            out += QLatin1Char('%');
            literal = ++p;
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
            return std::nullopt;
        if (spec.width < 0) {
            spec.leftJustify = true;
            spec.width = -spec.width;
        }
        if (*p == '.') {
            ++p;
            if (!readNumber(p, args, next, spec.precision))
                return std::nullopt;
            if (spec.precision < 0)
                spec.precision = -1;
        }
        skipLengthModifier(p);
        if (!*p || next >= args.size())
            return std::nullopt;
        spec.letter = *p++;
        const std::optional<QString> field = convert(spec, args[next++]);
        if (!field)
            return std::nullopt;
        out += *field;
        literal = p;
    }
    flushLiteral(p);
    return out;
}

QString LogCategoryLabel(quint32 category) {
    if (category == 0x10000)
        return QStringLiteral("CZv   ");
    if (category == 0x20000)
        return QStringLiteral("CZvCom");
    QString digits = QString::number(category);
    if (digits.size() < 5)
        digits.prepend(QString(5 - digits.size(), QLatin1Char('0')));
    return QLatin1Char('C') + digits;
}

QChar LogKindLetter(quint32 kind) {
    static constexpr char letters[] = "?eweiewedewe";
    return kind < 12 ? QLatin1Char(letters[kind]) : QLatin1Char('?');
}

namespace {

void appendNumber(QString &out, qint64 value, int minDigits) {
    char buf[32];
    char *p = buf;
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, quint64(value));
    const qsizetype count = res.ptr - digits;
    for (qsizetype i = count; i < minDigits && p < buf + 8; ++i)
        *p++ = '0';
    std::memcpy(p, digits, size_t(count));
    p += count;
    out.append(QLatin1StringView(buf, p - buf));
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

QString LogPrefix(quint32 options, const TLogPrefixFields &fields, const TLogLocaleInfo &locale) {
    if (options == 0)
        return {};
    QString out;
    out.reserve(64);
    out += QLatin1Char('[');
    if (options & 0x01) {
        const TLogTime &t = fields.time;
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
        appendNumber(out, t.msec, 3);
    }
    if (options & 0x02) {
        out += QLatin1String(" P");
        appendNumber(out, fields.processId, 3);
    }
    if (options & 0x04) {
        out += QLatin1String(" T");
        appendNumber(out, fields.threadId, 3);
    }
    if (options & 0x08)
        out += LogCategoryLabel(fields.category);
    if (options & 0x10) {
        out += QLatin1Char(' ');
        out += LogKindLetter(fields.kind);
    }
    if ((options & 0x20) && !fields.sourceName.isEmpty()) {
        out += QLatin1Char(' ');
        out += fields.sourceName;
    }
    out += QLatin1String("] ");
    return out;
}

QByteArray LogEscape(QStringView line) {
    QByteArray out;
    out.reserve(line.size() + 16);
    const qsizetype n = line.size();
    const char16_t *src = line.utf16();
    qsizetype runStart = 0;
    // Printable runs are copied in one piece; the buffer is reserved, so this seldom allocates.
    auto flushRun = [&](qsizetype end) {
        const qsizetype length = end - runStart;
        if (length <= 0)
            return;
        const qsizetype old = out.size();
        out.resize(old + length);
        char *dst = out.data() + old;
        for (qsizetype k = 0; k < length; ++k)
            dst[k] = char(src[runStart + k]);
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = src[i];
        if (c >= 32 && c <= 126)
            continue;
        flushRun(i);
        if (c == 169) {
            out += "\xC2\xA9";
        } else {
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(src[i + 1]))
                code = QChar::surrogateToUcs4(c, src[++i]);
            char buf[16];
            const auto res = std::to_chars(buf, buf + sizeof buf, quint32(code));
            out += "[#";
            out.append(buf, res.ptr - buf);
            out += ']';
        }
        runStart = i + 1;
    }
    flushRun(n);
    return out;
}

TLogTime LogLocalTimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    TLogTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.msec = int(now.tv_nsec / 1000000);
    return t;
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

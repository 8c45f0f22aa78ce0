// SPDX-License-Identifier: MIT
#include "ZvLogFormat.h"

namespace {

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alt = false;
    int width = 0;
    int precision = -1;
    QChar conversion;
};

class ArgCursor {
public:
    explicit ArgCursor(std::span<const ZvLogArg> args) : m_args(args) {}
    const ZvLogArg *next() { return m_next < m_args.size() ? &m_args[m_next++] : nullptr; }
    int nextInt() {
        const ZvLogArg *a = next();
        return a && a->kind() != ZvLogArg::Kind::Text ? int(a->asSigned()) : 0;
    }

private:
    std::span<const ZvLogArg> m_args;
    size_t m_next = 0;
};

qint64 signedOf(const ZvLogArg *a) {
    if (!a)
        return 0;
    if (a->kind() == ZvLogArg::Kind::Text)
        return a->text().toLongLong();
    return a->asSigned();
}

quint64 unsignedOf(const ZvLogArg *a) {
    if (!a)
        return 0;
    if (a->kind() == ZvLogArg::Kind::Text)
        return a->text().toULongLong();
    return a->asUnsigned();
}

QString textOf(const ZvLogArg *a) {
    if (!a)
        return {};
    if (a->kind() == ZvLogArg::Kind::Text)
        return a->text();
    if (a->kind() == ZvLogArg::Kind::Signed)
        return QString::number(a->asSigned());
    return QString::number(a->asUnsigned());
}

QString pad(const QString &body, const Spec &spec, bool numeric) {
    if (body.size() >= spec.width)
        return body;
    const qsizetype fill = spec.width - body.size();
    if (spec.left)
        return body + QString(fill, QLatin1Char(' '));
    if (numeric && spec.zero && spec.precision < 0) {
        // Zeros go after the sign or the 0x prefix.
        qsizetype at = 0;
        if (body.startsWith(QLatin1Char('-')) || body.startsWith(QLatin1Char('+')) ||
            body.startsWith(QLatin1Char(' ')))
            at = 1;
        else if (body.startsWith(QLatin1String("0x")) || body.startsWith(QLatin1String("0X")))
            at = 2;
        return body.left(at) + QString(fill, QLatin1Char('0')) + body.mid(at);
    }
    return QString(fill, QLatin1Char(' ')) + body;
}

QString withPrecision(QString digits, int precision) {
    if (precision >= 0 && digits.size() < precision)
        digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
    if (precision == 0 && digits == QLatin1String("0"))
        digits.clear();
    return digits;
}

QString convert(const Spec &spec, ArgCursor &args) {
    const char c = spec.conversion.toLatin1();
    switch (c) {
    case 's':
    case 'S': {
        QString text = textOf(args.next());
        if (spec.precision >= 0)
            text.truncate(spec.precision);
        return pad(text, spec, false);
    }
    case 'c': {
        const ZvLogArg *a = args.next();
        QString text;
        if (a && a->kind() == ZvLogArg::Kind::Text)
            text = a->text().left(1);
        else if (a)
            text = QString(QChar(char16_t(a->asUnsigned())));
        return pad(text, spec, false);
    }
    case 'd':
    case 'i': {
        const qint64 v = signedOf(args.next());
        QString digits =
            withPrecision(QString::number(v < 0 ? -quint64(v) : quint64(v)), spec.precision);
        if (v < 0)
            digits.prepend(QLatin1Char('-'));
        else if (spec.plus)
            digits.prepend(QLatin1Char('+'));
        else if (spec.space)
            digits.prepend(QLatin1Char(' '));
        return pad(digits, spec, true);
    }
    case 'u':
        return pad(withPrecision(QString::number(unsignedOf(args.next())), spec.precision), spec,
                   true);
    case 'x':
    case 'X':
    case 'o': {
        const quint64 v = unsignedOf(args.next());
        QString digits = withPrecision(QString::number(v, c == 'o' ? 8 : 16), spec.precision);
        if (c == 'X')
            digits = digits.toUpper();
        if (spec.alt && v != 0)
            digits.prepend(c == 'o'   ? QStringLiteral("0")
                           : c == 'X' ? QStringLiteral("0X")
                                      : QStringLiteral("0x"));
        return pad(digits, spec, true);
    }
    default:
        return {};
    }
}

} // namespace

QString zvFormat(const QString &format, std::span<const ZvLogArg> args) {
    QString out;
    out.reserve(format.size() + 32);
    ArgCursor cursor(args);
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = format.at(i);
        if (ch != QLatin1Char('%')) {
            out.append(ch);
            ++i;
            continue;
        }
        const qsizetype start = i++;
        if (i < n && format.at(i) == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
            ++i;
            continue;
        }
        Spec spec;
        for (; i < n; ++i) {
            const QChar f = format.at(i);
            if (f == QLatin1Char('-'))
                spec.left = true;
            else if (f == QLatin1Char('+'))
                spec.plus = true;
            else if (f == QLatin1Char(' '))
                spec.space = true;
            else if (f == QLatin1Char('0'))
                spec.zero = true;
            else if (f == QLatin1Char('#'))
                spec.alt = true;
            else
                break;
        }
        if (i < n && format.at(i) == QLatin1Char('*')) {
            spec.width = cursor.nextInt();
            if (spec.width < 0) {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++i;
        } else {
            while (i < n && format.at(i).isDigit())
                spec.width = spec.width * 10 + format.at(i++).digitValue();
        }
        if (i < n && format.at(i) == QLatin1Char('.')) {
            ++i;
            spec.precision = 0;
            if (i < n && format.at(i) == QLatin1Char('*')) {
                spec.precision = qMax(0, cursor.nextInt());
                ++i;
            } else {
                while (i < n && format.at(i).isDigit())
                    spec.precision = spec.precision * 10 + format.at(i++).digitValue();
            }
        }
        while (i < n) {
            const QChar m = format.at(i);
            if (m == QLatin1Char('h') || m == QLatin1Char('l') || m == QLatin1Char('w') ||
                m == QLatin1Char('L')) {
                ++i;
            } else if (format.mid(i, 3) == QLatin1String("I64")) {
                i += 3;
            } else {
                break;
            }
        }
        if (i >= n) {
            // A lone trailing conversion start is kept as written.
            out.append(format.mid(start));
            break;
        }
        spec.conversion = format.at(i++);
        if (QStringLiteral("sScdiuxXo").contains(spec.conversion))
            out.append(convert(spec, cursor));
        else
            out.append(format.mid(start, i - start));
    }
    return out;
}

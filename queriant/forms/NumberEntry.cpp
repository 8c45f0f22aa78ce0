// SPDX-License-Identifier: MIT
#include "NumberEntry.h"

#include "ZvLocaleInfo.h"

#include <cmath>

namespace {

constexpr char16_t Backspace = 8;
constexpr char16_t CarriageReturn = 13;

bool isBackspaceOrEnter(QChar key) {
    return key.unicode() == Backspace || key.unicode() == CarriageReturn;
}

bool isLatinDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isKeyboardMark(QChar c) {
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

// A separator of the locale as one character, or a null QChar when it takes more.
QChar single(const QString &separator) {
    return separator.size() == 1 ? separator.at(0) : QChar();
}

// A decimal digit of any script as 0-9; other characters unchanged.
QChar latinDigit(QChar c) {
    if (!isLatinDigit(c) && c.category() == QChar::Number_DecimalDigit)
        return QChar(u'0' + c.digitValue());
    return c;
}

// The number in C notation ('.' decimal point, ',' grouping), or nothing when a mark is
// neither of the locale's separators.
std::optional<QString> cNotation(const QString &text, const QLocale &locale) {
    const QChar decimal = single(locale.decimalPoint());
    const QChar group = single(locale.groupSeparator());
    QString c = text;
    c.replace(locale.negativeSign(), QStringLiteral("-"));
    for (QChar &ch : c) {
        ch = latinDigit(ch);
        if (!decimal.isNull() && ch == decimal)
            ch = QLatin1Char('.');
        else if (!group.isNull() && ch == group)
            ch = QLatin1Char(',');
        else if (isKeyboardMark(ch))
            return std::nullopt;
    }
    return c;
}

} // namespace

QChar NumberKeyChar(QChar key, const QLocale &locale) {
    key = latinDigit(key);
    const QChar decimal = single(locale.decimalPoint());
    const QChar group = single(locale.groupSeparator());
    if (isKeyboardMark(key) && !decimal.isNull() && !isKeyboardMark(decimal) &&
        !isKeyboardMark(group))
        return decimal;
    return key;
}

bool IntegerKeyAccepted(QChar key, const QLocale &locale) {
    return isBackspaceOrEnter(key) || key == QLatin1Char('-') || isLatinDigit(key) ||
           isKeyboardMark(key) || QString(key) == locale.decimalPoint() ||
           QString(key) == locale.groupSeparator();
}

bool DecimalKeyAccepted(const QString &text, int caret, bool hasSelection, QChar key,
                        const QLocale &locale, int maxDecimals) {
    const QString separator = locale.decimalPoint();
    const int separatorAt = int(text.indexOf(separator));
    // Without decimals allowed the separator and what follows it reach the text, so that the
    // number check refuses the amount where the user sees it; dropping the key would turn a
    // typed 1.5 into 15 without a word.
    if (maxDecimals <= 0)
        return separator == QString(key) || IntegerKeyAccepted(key, locale);
    if (separator == QString(key)) {
        if (separatorAt >= 0 || text.size() - caret > maxDecimals)
            return false;
    } else if (!IntegerKeyAccepted(key, locale)) {
        return false;
    }
    if (separatorAt >= 0 && !hasSelection && !isBackspaceOrEnter(key) &&
        DecimalsAfterSeparator(text, separator) >= maxDecimals)
        return caret <= separatorAt;
    return true;
}

int DecimalsAfterSeparator(const QString &text, const QString &separator) {
    const qsizetype at = text.indexOf(separator);
    return at < 0 ? 0 : int(text.size() - at - separator.size());
}

std::optional<QString> PlainDecimalText(const QString &text, const QLocale &locale) {
    const std::optional<QString> c = cNotation(text.trimmed(), locale);
    if (!c)
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(*c, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    QString plain = *c;
    plain.remove(QLatin1Char(','));
    plain.replace(QLatin1Char('.'), locale.decimalPoint());
    return plain;
}

std::optional<double> ParseDecimal(const QString &text, const QLocale &locale) {
    const std::optional<QString> c = cNotation(text.trimmed(), locale);
    bool ok = false;
    const double value = c ? QLocale::c().toDouble(*c, &ok) : 0;
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<qint32> ParseInteger(const QString &text, const QLocale &locale) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    if (text.isEmpty() || text.back().isSpace())
        return std::nullopt;
    const std::optional<QString> c = cNotation(text.mid(start), locale);
    if (!c || c->contains(QLatin1Char('.')))
        return std::nullopt;
    bool ok = false;
    const qint32 value = QLocale::c().toInt(*c, &ok);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

double RoundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

QString ShortestDecimal(double value, const QLocale &locale) {
    return zv::formatNumber(value, 'g', QLocale::FloatingPointShortest, locale);
}

QString FormatHashDotHash(double value, const QLocale &locale) {
    // Half away from zero, as the pattern formatter rounds.
    const double rounded = std::round(value * 10.0) / 10.0;
    const bool negative = rounded < 0;
    QString digits = QLocale::c().toString(std::fabs(rounded), 'f', 1);
    if (digits.endsWith(QLatin1String(".0")))
        digits.chop(2);
    if (digits.startsWith(QLatin1String("0")))
        digits.remove(0, 1);
    digits.replace(QLatin1Char('.'), locale.decimalPoint());
    if (digits.isEmpty())
        return {};
    return negative ? QLatin1Char('-') + digits : digits;
}

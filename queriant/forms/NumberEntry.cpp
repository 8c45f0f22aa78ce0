// SPDX-License-Identifier: MIT
#include "NumberEntry.h"

#include <cmath>

namespace {

constexpr char16_t Backspace = 8;
constexpr char16_t CarriageReturn = 13;

bool isBackspaceOrEnter(QChar key) {
    return key.unicode() == Backspace || key.unicode() == CarriageReturn;
}

} // namespace

bool IntegerKeyAccepted(QChar key) {
    return isBackspaceOrEnter(key) || key == QLatin1Char('-') ||
           (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

bool DecimalKeyAccepted(const QString &text, int caret, bool hasSelection, QChar key,
                        const QString &separator, int maxDecimals) {
    const int separatorAt = int(text.indexOf(separator));
    if (separator == QString(key)) {
        if (separatorAt >= 0 || maxDecimals == 0 || text.size() - caret > maxDecimals)
            return false;
    } else if (!IntegerKeyAccepted(key)) {
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

std::optional<qint32> ParseInteger(const QString &text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    if (text.isEmpty() || text.back().isSpace())
        return std::nullopt;
    bool ok = false;
    const qint32 value = QStringView(text).mid(start).toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

std::optional<double> ParseDecimal(const QString &text, const QLocale &locale) {
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

double RoundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

QString ShortestDecimal(double value, const QLocale &locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', QLocale::FloatingPointShortest);
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

// SPDX-License-Identifier: MIT
// Number rules of the integer, float and money dialogs, free of any widget: the decimal
// typing filter, decimals counting, rounding and the texts shown in messages.
#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

#include <optional>

// Whether a typed character may enter a float or money edit. caret is the cursor position,
// maxDecimals the question's MaxLength; backspace and Enter count as allowed characters.
bool DecimalKeyAccepted(const QString &text, int caret, bool hasSelection, QChar key,
                        const QString &separator, int maxDecimals);
// Whether a typed character may enter an integer edit.
bool IntegerKeyAccepted(QChar key);

// Characters after the first decimal separator; 0 without one.
int DecimalsAfterSeparator(const QString &text, const QString &separator);

// A 32-bit integer; leading blanks allowed, trailing ones not.
std::optional<qint32> ParseInteger(const QString &text);
// A number in the locale's format (no group separators); blanks around it allowed.
std::optional<double> ParseDecimal(const QString &text, const QLocale &locale);

// Round half to even at the given number of decimals.
double RoundHalfEven(double value, int decimals);
// The shortest text that reads back as value, with the locale's separator.
QString ShortestDecimal(double value, const QLocale &locale);
// The value with the pattern "#.#": at most one decimal, no leading or trailing zero.
QString FormatHashDotHash(double value, const QLocale &locale);

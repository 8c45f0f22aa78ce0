// SPDX-License-Identifier: MIT
// Number rules of the integer, float and money dialogs, free of any widget: the typing
// filters, reading a typed number in the user's locale, decimals counting, rounding and the
// texts shown in messages.
//
// Nothing a user types as a number mark is dropped: the locale's decimal and group separators
// and the marks '.' and ',' all reach the text, and a text that is not a number of the locale
// (a comma typed for the decimal point, say) fails the number check where the user sees it.
// Numbers the dialogs write use the digits 0-9; digits of other scripts are read as 0-9.
#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

#include <optional>

// The character a typed key puts into a number edit: Arabic-Indic and extended Arabic-Indic
// digits become 0-9; where keyboards lack the locale's decimal separator (neither '.' nor ','
// is one of its separators, as in Arabic), '.' and ',' stand for it.
QChar NumberKeyChar(QChar key, const QLocale &locale);

// Whether a character (as NumberKeyChar gives it) may enter a float or money edit. caret is
// the cursor position, maxDecimals the question's MaxLength; backspace and Enter count as
// allowed characters. With maxDecimals 0 the separator is let in, for the dialog's
// whole-number check to refuse.
bool DecimalKeyAccepted(const QString &text, int caret, bool hasSelection, QChar key,
                        const QLocale &locale, int maxDecimals);
// Whether a character (as NumberKeyChar gives it) may enter an integer edit.
bool IntegerKeyAccepted(QChar key, const QLocale &locale);

// Characters after the first decimal separator; 0 without one.
int DecimalsAfterSeparator(const QString &text, const QString &separator);

// A number of the locale, with or without its digit grouping, blanks around it allowed, as
// the text to store: digits 0-9, the locale's decimal separator, no grouping. Nothing when the
// text is not a number of the locale.
std::optional<QString> PlainDecimalText(const QString &text, const QLocale &locale);
std::optional<double> ParseDecimal(const QString &text, const QLocale &locale);
// A 32-bit integer, with or without the locale's grouping; leading blanks allowed, trailing
// ones not.
std::optional<qint32> ParseInteger(const QString &text, const QLocale &locale);

// Round half to even at the given number of decimals.
double RoundHalfEven(double value, int decimals);
// The shortest text that reads back as value, with the locale's separator.
QString ShortestDecimal(double value, const QLocale &locale);
// The value with the pattern "#.#": at most one decimal, no leading or trailing zero.
QString FormatHashDotHash(double value, const QLocale &locale);

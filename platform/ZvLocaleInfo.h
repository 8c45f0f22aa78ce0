// SPDX-License-Identifier: MIT
// What the user's locale says about numbers, dates, language and writing direction. Each
// query takes the locale to ask, the process's own by default.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace zv {

// Primary language ids the language file and the dialogs work with.
constexpr int LANG_NEUTRAL = 0;
constexpr int LANG_ARABIC = 1;
constexpr int LANG_GERMAN = 7;
constexpr int LANG_ENGLISH = 9;
constexpr int LANG_SPANISH = 10;
constexpr int LANG_FRENCH = 12;
constexpr int LANG_ITALIAN = 16;

// The id of a language: the six above, English for the C locale, LANG_NEUTRAL for others.
int languageId(QLocale::Language language);
int userLanguageId(const QLocale &locale = QLocale::system());
// The language's English name ("German").
QString englishLanguageName(const QLocale &locale = QLocale::system());
bool isRightToLeft(const QLocale &locale = QLocale::system());

QString decimalSeparator(const QLocale &locale = QLocale::system());
// A number as the dialogs show and store it: the digits 0-9, '-', the locale's decimal
// separator and no grouping, whatever digits the locale itself writes. format and precision
// as for QLocale::toString.
QString formatNumber(double value, char format, int precision,
                     const QLocale &locale = QLocale::system());
// Abbreviated name of month 1..12.
QString monthAbbreviation(int month, const QLocale &locale = QLocale::system());
// The separators of the locale's short date and time formats.
QString dateSeparator(const QLocale &locale = QLocale::system());
QString timeSeparator(const QLocale &locale = QLocale::system());

// Digits after the decimal point of amounts of money in the C library locale of that name
// (LC_MONETARY), 2 when the locale does not say or does not exist. The overload without a
// name asks the process's current LC_MONETARY.
int currencyDigits();
int currencyDigits(const QByteArray &localeName);

// Character set of the C library locale ("UTF-8"): the process's current LC_CTYPE, or the
// named locale's (empty when it does not exist).
QByteArray codeset();
QByteArray codeset(const QByteArray &localeName);

} // namespace zv

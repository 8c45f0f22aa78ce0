// SPDX-License-Identifier: MIT
#include "ZvLocaleInfo.h"

#include <clocale>

#include <langinfo.h>
#include <locale.h>

namespace zv {

namespace {

// The first character of a format that is not a field letter, a quote, a blank or a
// direction mark.
QString firstSeparator(const QString &format, const QString &fieldLetters) {
    for (QChar c : format)
        if (!fieldLetters.contains(c) && c != QLatin1Char('\'') && !c.isSpace() &&
            c.category() != QChar::Other_Format)
            return QString(c);
    return QString();
}

// A C library locale holding the given categories, freed on scope exit.
class CLocale {
public:
    CLocale(int mask, const QByteArray &name)
        : m_loc(::newlocale(mask, name.constData(), nullptr)) {}
    ~CLocale() {
        if (m_loc)
            ::freelocale(m_loc);
    }
    CLocale(const CLocale &) = delete;
    CLocale &operator=(const CLocale &) = delete;
    locale_t get() const { return m_loc; }

private:
    locale_t m_loc;
};

} // namespace

int languageId(QLocale::Language language) {
    switch (language) {
    case QLocale::C:
    case QLocale::English:
        return LANG_ENGLISH;
    case QLocale::German:
        return LANG_GERMAN;
    case QLocale::French:
        return LANG_FRENCH;
    case QLocale::Italian:
        return LANG_ITALIAN;
    case QLocale::Spanish:
        return LANG_SPANISH;
    case QLocale::Arabic:
        return LANG_ARABIC;
    default:
        return LANG_NEUTRAL;
    }
}

int userLanguageId(const QLocale &locale) {
    return languageId(locale.language());
}

QString englishLanguageName(const QLocale &locale) {
    return QLocale::languageToString(locale.language());
}

bool isRightToLeft(const QLocale &locale) {
    return locale.textDirection() == Qt::RightToLeft;
}

QString decimalSeparator(const QLocale &locale) {
    return locale.decimalPoint();
}

QString formatNumber(double value, char format, int precision, const QLocale &locale) {
    QString text = QLocale::c().toString(value, format, precision);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

QString monthAbbreviation(int month, const QLocale &locale) {
    return locale.monthName(month, QLocale::ShortFormat);
}

QString dateSeparator(const QLocale &locale) {
    return firstSeparator(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("dMyg"));
}

QString timeSeparator(const QLocale &locale) {
    return firstSeparator(locale.timeFormat(QLocale::ShortFormat), QStringLiteral("hHmszaAtp"));
}

int currencyDigits() {
    return currencyDigits(QByteArray(std::setlocale(LC_MONETARY, nullptr)));
}

int currencyDigits(const QByteArray &localeName) {
    const CLocale loc(LC_MONETARY_MASK, localeName);
    if (!loc.get())
        return 2;
    const char *digits = ::nl_langinfo_l(FRAC_DIGITS, loc.get());
    if (!digits)
        return 2;
    // 127 (CHAR_MAX) means the locale leaves it open.
    const int value = static_cast<unsigned char>(*digits);
    return value >= 127 ? 2 : value;
}

QByteArray codeset() {
    return QByteArray(::nl_langinfo(CODESET));
}

QByteArray codeset(const QByteArray &localeName) {
    const CLocale loc(LC_CTYPE_MASK, localeName);
    return loc.get() ? QByteArray(::nl_langinfo_l(CODESET, loc.get())) : QByteArray();
}

} // namespace zv

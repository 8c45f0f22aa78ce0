// SPDX-License-Identifier: MIT
#include "Validate.h"

#include "ZvLocaleInfo.h"

#include <climits>
#include <cmath>

QLocale NumberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

std::optional<double> LocaleToFloat(const QString &text) {
    bool ok = false;
    const double value = NumberLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int CurrencyDigits() {
    // The monetary category of the locale whose numbers are in use.
    return zv::currencyDigits(QLocale().name().toUtf8() + ".UTF-8");
}

namespace {

[[noreturn]] void fail(const QString &message) {
    throw EValidationError(message);
}

QString twoDecimals(double value) {
    return zv::formatNumber(value, 'f', 2, NumberLocale());
}

qint64 wholeNumber(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 9.2e18)
        return LLONG_MAX;
    if (value <= -9.2e18)
        return LLONG_MIN;
    return qint64(std::trunc(value));
}

bool skipsNumberCheck(const QString &answer, const TQuestion &question) {
    return answer.isEmpty() && !question.Mandatory;
}

void checkDecimalRange(double value, const TQuestion &question) {
    if (value < question.ValidateMin || value > question.ValidateMax)
        fail(QStringLiteral("The answer must be between %1 and %2.")
                 .arg(twoDecimals(question.ValidateMin), twoDecimals(question.ValidateMax)));
}

// Places test, then (unless an optional question is left empty) number and range.
void checkDecimal(const QString &answer, const TQuestion &question, int places,
                  const QString &notANumber) {
    TValidate::CheckDecimalPlaces(answer, places);
    if (skipsNumberCheck(answer, question))
        return;
    const std::optional<double> value = LocaleToFloat(answer);
    if (!value)
        fail(notANumber);
    checkDecimalRange(*value, question);
}

void checkLength(const QString &answer, const TQuestion &question) {
    if (answer.size() > question.MaxLength)
        fail(QStringLiteral("The maximum number of characters in the answer is %1.")
                 .arg(question.MaxLength));
}

} // namespace

void TValidate::CheckDecimalPlaces(const QString &answer, int places) {
    const qsizetype stop = answer.indexOf(u'.');
    if (stop >= 0 && answer.size() - stop - 1 > places)
        fail(QStringLiteral("The maximum number of decimal places in the answer is %1.")
                 .arg(places));
}

void TValidate::CheckInList(const QByteArrayList &choices, const QString &answer) {
    if (!choices.contains(answer.toUtf8()))
        fail(QStringLiteral("Answer:%1 is not in the list.").arg(answer));
}

void TValidate::CheckFloat(const QString &answer, const TQuestion &question) {
    checkDecimal(answer, question, question.MaxLength,
                 QStringLiteral("The answer for this question must be a floating point value."));
}

void TValidate::CheckInteger(const QString &answer, const TQuestion &question) {
    if (skipsNumberCheck(answer, question))
        return;
    bool ok = false;
    const int value = answer.trimmed().toInt(&ok, 10);
    if (!ok)
        fail(QStringLiteral("The answer for this question must be an integer value."));
    if (value < question.ValidateMin || value > question.ValidateMax)
        fail(QStringLiteral("The answer must be between %1 and %2.")
                 .arg(wholeNumber(question.ValidateMin))
                 .arg(wholeNumber(question.ValidateMax)));
}

void TValidate::CheckMoney(const QString &answer, const TQuestion &question) {
    checkDecimal(answer, question, CurrencyDigits(),
                 QStringLiteral("The answer for this question must be a money value."));
}

void TValidate::CheckPhoneNumber(const QString &answer, const TQuestion &question) {
    checkLength(answer, question);
}

void TValidate::CheckString(const QString &answer, const TQuestion &question) {
    checkLength(answer, question);
}

// SPDX-License-Identifier: MIT
// Checks of an answer against its question's rules; each check returns normally or raises
// an EValidationError saying what is wrong.
#pragma once

#include "Questions.h"
#include "ZvError.h"

#include <QByteArrayList>
#include <QLocale>
#include <QString>

#include <optional>

class EValidationError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

// The locale numbers are read and written in: the current locale, without digit grouping.
QLocale NumberLocale();
// A decimal number in the current locale's notation; nothing when the text is not one.
std::optional<double> LocaleToFloat(const QString &text);
// Number of currency digits of the user's locale (2 when the locale does not say).
int CurrencyDigits();

class TValidate {
public:
    TValidate() = delete;

    static void CheckDecimalPlaces(const QString &answer, int places);
    static void CheckInList(const QByteArrayList &choices, const QString &answer);
    static void CheckFloat(const QString &answer, const TQuestion &question);
    static void CheckInteger(const QString &answer, const TQuestion &question);
    static void CheckMoney(const QString &answer, const TQuestion &question);
    static void CheckPhoneNumber(const QString &answer, const TQuestion &question);
    static void CheckString(const QString &answer, const TQuestion &question);
};

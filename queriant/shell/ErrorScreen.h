// SPDX-License-Identifier: MIT
// Texts of the error screen: every failure's message on a line of its own, and the
// explanation shown when question text is Arabic and this system cannot show it.
#pragma once

#include <QString>

// The error text with message added: on a new line (CR LF) when there is text already.
QString AppendErrorMessage(const QString &current, const QString &message);

// Title of the error screen for Arabic question text.
QString ArabicErrorTitle();
// The explanation of the Arabic error screen; queueName goes in brackets when known.
QString ArabicErrorText(const QString &queueName);

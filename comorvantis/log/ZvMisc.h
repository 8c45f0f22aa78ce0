// SPDX-License-Identifier: MIT
// System message texts for error codes: operating-system error numbers (positive) and
// component-layer result codes (negative).
#pragma once

#include <QString>

namespace ZvMisc {

// The plain message, one line, trimmed; empty when the system has none.
QString systemMessageText(qint32 code);
// As systemMessageText, with every '%' doubled so it can be part of a format.
QString GetSystemMessage(qint32 code);
QString doublePercent(QString text);

} // namespace ZvMisc

// SPDX-License-Identifier: MIT
// The server look-ups the dialogs make through the question manager in popup-server jobs:
// cost-center history and search, the single-code check, SQL lists and the check of a
// selection against the server. The manager's operations are defined in CostCenterServices.cpp.
#pragma once

#include <QString>
#include <QStringList>

// A translated text with "%s" (or "%d") replaced by the arguments in order.
QString FormatResText(const QString &format, const QStringList &args);

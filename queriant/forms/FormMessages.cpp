// SPDX-License-Identifier: MIT
#include "FormMessages.h"

#include <QRegularExpression>

QString MessageWithArgument(const TResourceString &res, const QString &argument) {
    QString text = LoadResString(res);
    static const QRegularExpression placeholder(QStringLiteral("%[sSdD]"));
    const QRegularExpressionMatch match = placeholder.match(text);
    if (match.hasMatch())
        text.replace(match.capturedStart(), match.capturedLength(), argument);
    return text;
}

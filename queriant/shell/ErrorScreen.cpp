// SPDX-License-Identifier: MIT
#include "ErrorScreen.h"

QString AppendErrorMessage(const QString &current, const QString &message) {
    return current.isEmpty() ? message : current + QStringLiteral("\r\n") + message;
}

QString ArabicErrorTitle() {
    return QStringLiteral("Print Job Error");
}

QString ArabicErrorText(const QString &queueName) {
    const QString twoBreaks = QStringLiteral("\r\n\r\n");
    QString text = QStringLiteral("Your print job is not processed.") + twoBreaks +
                   QStringLiteral("Zorvant Queue");
    if (!queueName.isEmpty())
        text += QStringLiteral(" (") + queueName + QStringLiteral(")");
    text += QStringLiteral(" is configured to use popup questions in Arabic language. ");
    text += QStringLiteral(
        "For Popups to display Arabic text correctly, you will need to set your computer's "
        "'System Locale' to 'Arabic' under 'Control Panel -> Regional and Language Options -> "
        "Administrative -> Current language for non-Unicode programs'.");
    text += twoBreaks;
    text += QStringLiteral("Note that the control for setting system locale can be located "
                           "differently depending on Windows version installed.");
    text += twoBreaks;
    text += QStringLiteral("Please contact your network administrator or support staff for help.");
    return text;
}

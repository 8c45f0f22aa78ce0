// SPDX-License-Identifier: MIT
#include "WaitingNotice.h"

#include "QueriantApp.h"
#include "ResourceStrings.h"

TDesktopNotification::TContent WaitingNoticeContent(const QString &title, const QString &document) {
    TDesktopNotification::TContent content;
    content.AppName = TQueriantApplication::Title();
    content.Summary = LoadResString(Res::SJobWaitingTitle);
    content.Body = document.isEmpty() ? title : title + QLatin1Char('\n') + document;
    content.IconName = QStringLiteral("printer");
    // Until the job ends: the dialog's own time-out decides how long it waits.
    content.TimeoutMs = 0;
    content.DefaultAction = LoadResString(Res::SJobWaitingAction);
    // Lets the server show the client's name and icon from its desktop entry.
    content.Hints.insert(QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName());
    return content;
}

TWaitingNotice::TWaitingNotice(const QDBusConnection &bus) : m_notification(bus) {
    // The token comes just before the click it belongs to.
    connect(&m_notification, &TDesktopNotification::ActivationToken, this,
            [this](const QString &token) { m_token = token; });
    connect(&m_notification, &TDesktopNotification::Clicked, this, [this] {
        const QString token = m_token;
        m_token.clear();
        emit Invoked(token);
    });
}

void TWaitingNotice::Show(const QString &title, const QString &document) {
    m_token.clear();
    m_notification.Show(WaitingNoticeContent(title, document));
}

void TWaitingNotice::Withdraw() {
    m_notification.Close();
    m_token.clear();
}

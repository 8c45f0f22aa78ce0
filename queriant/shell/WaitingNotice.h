// SPDX-License-Identifier: MIT
// "A print job needs your answers": the desktop notification for a popup that could not come
// to the front (a compositor without xdg-activation, focus-stealing prevention). Its default
// action brings the popup back, with the activation token the server gave for the click when
// it gave one. It stays until the click, the user closing it, or the end of the job.
#pragma once

#include "DesktopNotification.h"

#include <QObject>
#include <QString>

// Summary, body (the dialog's title, then the document when known) and default action.
TDesktopNotification::TContent WaitingNoticeContent(const QString &title, const QString &document);

class TWaitingNotice : public QObject {
    Q_OBJECT

public:
    explicit TWaitingNotice(const QDBusConnection &bus = QDBusConnection::sessionBus());

    // Replaces a notice shown.
    void Show(const QString &title, const QString &document);
    void Withdraw();
    bool Shown() const { return m_notification.Active(); }

signals:
    // The user asked for the popup; activationToken may be empty.
    void Invoked(const QString &activationToken);

private:
    TDesktopNotification m_notification;
    QString m_token;
};

// SPDX-License-Identifier: MIT
// One notification on the desktop's notification server (org.freedesktop.Notifications),
// called over the bus directly: its signals are taken for our own id only (connected before
// the notification is sent), the default action is the click, and our own timer ends the
// display time, since some servers ignore the time they are given. Without a bus or a server
// nothing shows; the failure is logged once per process and the timer still runs out.
//
// Outcomes: Clicked (the default action; on a server without actions, a close by the user),
// Dismissed (closed by the user or by another party), TimedOut (our timer or the server's
// own expiry). Exactly one per Show, unless Close comes first. ActivationToken arrives before
// Clicked when the server sends one, for a window that must take the focus.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class QDBusPendingCallWatcher;

class TDesktopNotification : public QObject {
    Q_OBJECT

public:
    struct TContent {
        QString AppName;
        QString Summary;
        QString Body;
        // A standard icon name ("dialog-information") or empty.
        QString IconName;
        // Display time; 0 leaves the notification until the user or Close ends it.
        int TimeoutMs = 0;
        // Caption of the default action; empty offers none.
        QString DefaultAction;
        QVariantMap Hints;
    };

    static constexpr const char *Service = "org.freedesktop.Notifications";
    static constexpr const char *Path = "/org/freedesktop/Notifications";
    static constexpr const char *Interface = "org.freedesktop.Notifications";

    explicit TDesktopNotification(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                  QObject *parent = nullptr);
    ~TDesktopNotification() override;

    // Replaces a notification shown by this object.
    void Show(const TContent &content);
    // Takes the notification away; no outcome follows.
    void Close();

    // Shown and no outcome yet.
    bool Active() const { return m_active; }
    // The server's id of the notification; 0 before the server answered or without a server.
    quint32 Id() const { return m_id; }
    // The server's capabilities, once asked.
    const QStringList &Capabilities() const { return m_capabilities; }
    int RemainingTime() const { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

signals:
    void Clicked();
    void Dismissed();
    void TimedOut();
    void ActivationToken(const QString &token);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);
    void onActivationToken(uint id, const QString &token);

private:
    enum class TOutcome { Clicked, Dismissed, TimedOut };

    void askCapabilities();
    void sendNotify();
    void notifyAnswered(QDBusPendingCallWatcher *call, quint64 generation);
    void unavailable(const QString &reason);
    void closeOnServer(quint32 id);
    void end(TOutcome outcome);
    bool ours(uint id) const { return m_active && m_id != 0 && id == m_id; }

    QDBusConnection m_bus;
    QTimer m_timer;
    TContent m_content;
    QStringList m_capabilities;
    bool m_capabilitiesKnown = false;
    bool m_active = false;
    quint32 m_id = 0;
    // Tells the answers of an earlier Show from the current one.
    quint64 m_generation = 0;
};

// SPDX-License-Identifier: MIT
// The balloon notifier of the desktop: the balloon is a desktop notification with a default
// action (TDesktopNotification), the icon an entry of the shared notification-area handler
// (TTrayIconHandler). A click on the balloon or on the icon is a click; the display time
// running out, or the user dismissing the balloon, is its time-out.
#pragma once

#include "BalloonNotifier.h"
#include "DesktopNotification.h"

#include <QByteArray>
#include <QIcon>
#include <QObject>

#include <memory>

class TTrayIconHandler;

// What a balloon sends: text cut to 255 characters, title to 63; the display time in
// milliseconds (a balloon of no time stays the customary 10 seconds); the icon kind as the
// standard icon name, the user icon being iconName.
TDesktopNotification::TContent BalloonContent(const QString &title, const QString &text,
                                              quint8 seconds, int iconKind,
                                              const QString &iconName = QString());

class TBalloonNotify : public QObject, public TBalloonNotifier {
    Q_OBJECT

public:
    static constexpr int MaxTitleLength = 63;
    static constexpr int MaxTextLength = 255;
    static constexpr int MaxTooltipLength = 127;
    static constexpr int DefaultSeconds = 10;

    // Takes a reference to the shared icon handler; the icon is the application's.
    explicit TBalloonNotify(const QDBusConnection &bus = QDBusConnection::sessionBus());
    // Removes icon and balloon and gives the handler reference back.
    ~TBalloonNotify() override;

    void SetVersion(int version) override;
    void Show() override;
    void Hide() override;
    // Brings icon and tooltip up to date in the notification area.
    void Modify();
    void ShowBalloon(const QString &title, const QString &text, quint8 seconds,
                     int iconKind) override;
    void HideBalloon() override;

    // Changing the icon updates the notification-area entry.
    void SetIcon(const QIcon &icon);
    const QIcon &Icon() const { return m_icon; }
    void SetTooltip(const QByteArray &tooltip);
    void SetShowTooltip(bool on);
    // The tooltip the entry shows: the first 127 characters, or none when switched off.
    QString ShownTooltip() const;

    bool InNotificationArea() const { return m_inArea; }
    // 3 after SetVersion(1), else 0.
    int ShellVersion() const { return m_shellVersion; }
    // The balloon's notification, for its activation token and the state of the server.
    TDesktopNotification &Notification() { return m_balloon; }

private:
    void ended(bool clicked);

    std::shared_ptr<TTrayIconHandler> m_handler;
    TDesktopNotification m_balloon;
    QIcon m_icon;
    QByteArray m_tooltip;
    bool m_showTooltip = true;
    bool m_inArea = false;
    int m_shellVersion = 0;
    // An outcome is on its way to the owner; a second one is dropped.
    bool m_ending = false;
};

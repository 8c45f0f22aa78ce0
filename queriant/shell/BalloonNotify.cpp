// SPDX-License-Identifier: MIT
#include "BalloonNotify.h"

#include "QueriantApp.h"
#include "TrayIconHandler.h"

#include <QApplication>
#include <QStyle>

namespace {

QString iconNameOf(int kind, const QString &userIcon) {
    switch (kind) {
    case biInformation:
        return QStringLiteral("dialog-information");
    case biWarning:
        return QStringLiteral("dialog-warning");
    case biError:
        return QStringLiteral("dialog-error");
    case biUser:
        return userIcon;
    default:
        return QString();
    }
}

QIcon applicationIcon() {
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return icon;
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
}

} // namespace

TDesktopNotification::TContent BalloonContent(const QString &title, const QString &text,
                                              quint8 seconds, int iconKind,
                                              const QString &iconName) {
    TDesktopNotification::TContent content;
    content.AppName = TQueriantApplication::Title();
    content.Summary = title.left(TBalloonNotify::MaxTitleLength);
    content.Body = text.left(TBalloonNotify::MaxTextLength);
    content.IconName = iconNameOf(iconKind, iconName);
    content.TimeoutMs = (seconds > 0 ? seconds : TBalloonNotify::DefaultSeconds) * 1000;
    // Most servers show no button for the default action; it is what a click on the balloon
    // does.
    content.DefaultAction = content.Summary.isEmpty() ? QStringLiteral("Open") : content.Summary;
    return content;
}

TBalloonNotify::TBalloonNotify(const QDBusConnection &bus)
    : m_handler(TTrayIconHandler::Acquire()), m_balloon(bus), m_icon(applicationIcon()) {
    // Queued: the owner may free this notifier from inside its event.
    connect(
        &m_balloon, &TDesktopNotification::Clicked, this, [this] { ended(true); },
        Qt::QueuedConnection);
    connect(
        &m_balloon, &TDesktopNotification::Dismissed, this, [this] { ended(false); },
        Qt::QueuedConnection);
    connect(
        &m_balloon, &TDesktopNotification::TimedOut, this, [this] { ended(false); },
        Qt::QueuedConnection);
}

TBalloonNotify::~TBalloonNotify() {
    HideBalloon();
    Hide();
}

void TBalloonNotify::SetVersion(int version) {
    m_shellVersion = version == 1 ? 3 : 0;
}

void TBalloonNotify::Show() {
    m_inArea = true;
    m_handler->Add(this, m_icon, ShownTooltip(), [this] {
        QMetaObject::invokeMethod(
            this, [this] { ended(true); }, Qt::QueuedConnection);
    });
}

void TBalloonNotify::Hide() {
    m_inArea = false;
    m_handler->Remove(this);
}

void TBalloonNotify::Modify() {
    if (m_inArea)
        m_handler->Modify(this, m_icon, ShownTooltip());
}

void TBalloonNotify::ShowBalloon(const QString &title, const QString &text, quint8 seconds,
                                 int iconKind) {
    m_ending = false;
    m_balloon.Show(BalloonContent(title, text, seconds, iconKind, m_icon.name()));
}

void TBalloonNotify::HideBalloon() {
    m_balloon.Close();
}

void TBalloonNotify::SetIcon(const QIcon &icon) {
    m_icon = icon;
    Modify();
}

void TBalloonNotify::SetTooltip(const QByteArray &tooltip) {
    m_tooltip = tooltip;
    Modify();
}

void TBalloonNotify::SetShowTooltip(bool on) {
    m_showTooltip = on;
    Modify();
}

QString TBalloonNotify::ShownTooltip() const {
    if (!m_showTooltip || m_tooltip.isEmpty())
        return QString();
    return QString::fromLocal8Bit(m_tooltip).left(MaxTooltipLength);
}

void TBalloonNotify::ended(bool clicked) {
    if (m_ending)
        return;
    m_ending = true;
    HideBalloon();
    Hide();
    // A copy: the handler may free this notifier, and the event with it.
    const TBalloonEvent event = clicked ? OnClick : OnBalloonTimeout;
    if (event)
        event(*this);
}

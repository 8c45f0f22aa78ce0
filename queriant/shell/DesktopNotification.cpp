// SPDX-License-Identifier: MIT
#include "DesktopNotification.h"

#include "Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

// A server that does not answer within this time counts as missing.
constexpr int CallTimeoutMs = 5000;

// Reasons of NotificationClosed.
enum : uint { crExpired = 1, crDismissed = 2, crClosedByCall = 3 };

QDBusMessage methodCall(const char *method) {
    return QDBusMessage::createMethodCall(
        QLatin1String(TDesktopNotification::Service), QLatin1String(TDesktopNotification::Path),
        QLatin1String(TDesktopNotification::Interface), QLatin1String(method));
}

} // namespace

TDesktopNotification::TDesktopNotification(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus) {
    m_timer.setSingleShot(true);
    // A coarse timer may run 5 % long and reports that much more than the display time left.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        closeOnServer(m_id);
        end(TOutcome::TimedOut);
    });
    if (!m_bus.isConnected())
        return;
    // Connected before anything is sent, so that no signal about our notification is missed.
    const QString service = QLatin1String(Service);
    const QString path = QLatin1String(Path);
    const QString interface = QLatin1String(Interface);
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    m_bus.connect(service, path, interface, QStringLiteral("ActivationToken"), this,
                  SLOT(onActivationToken(uint, QString)));
}

TDesktopNotification::~TDesktopNotification() {
    Close();
}

void TDesktopNotification::Show(const TContent &content) {
    Close();
    m_content = content;
    m_active = true;
    if (content.TimeoutMs > 0) {
        m_timer.setInterval(content.TimeoutMs);
        m_timer.start();
    }
    if (!m_bus.isConnected()) {
        unavailable(QStringLiteral("no session bus: %1").arg(m_bus.lastError().message()));
        return;
    }
    if (m_capabilitiesKnown)
        sendNotify();
    else
        askCapabilities();
}

void TDesktopNotification::Close() {
    ++m_generation;
    m_timer.stop();
    const bool shown = m_active;
    m_active = false;
    if (shown)
        closeOnServer(m_id);
    m_id = 0;
}

void TDesktopNotification::askCapabilities() {
    auto *call = new QDBusPendingCallWatcher(
        m_bus.asyncCall(methodCall("GetCapabilities"), CallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation](QDBusPendingCallWatcher *watcher) {
                watcher->deleteLater();
                const QDBusPendingReply<QStringList> reply = *watcher;
                if (generation != m_generation)
                    return;
                if (reply.isError()) {
                    unavailable(reply.error().message());
                    return;
                }
                m_capabilities = reply.value();
                m_capabilitiesKnown = true;
                sendNotify();
            });
}

void TDesktopNotification::sendNotify() {
    const bool markup = m_capabilities.contains(QStringLiteral("body-markup"));
    QStringList actions;
    if (!m_content.DefaultAction.isNull())
        actions << QStringLiteral("default") << m_content.DefaultAction;
    QDBusMessage call = methodCall("Notify");
    // A body the server reads as markup shows the text as it is only when escaped.
    call << m_content.AppName << quint32(0) << m_content.IconName << m_content.Summary
         << (markup ? m_content.Body.toHtmlEscaped() : m_content.Body) << actions << m_content.Hints
         << qint32(m_content.TimeoutMs > 0 ? m_content.TimeoutMs : 0);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation](QDBusPendingCallWatcher *w) {
                notifyAnswered(w, generation);
            });
}

void TDesktopNotification::notifyAnswered(QDBusPendingCallWatcher *call, quint64 generation) {
    call->deleteLater();
    const QDBusPendingReply<quint32> reply = *call;
    if (reply.isError()) {
        if (generation == m_generation)
            unavailable(reply.error().message());
        return;
    }
    if (generation != m_generation || !m_active) {
        // Closed, replaced or timed out while the server was answering.
        closeOnServer(reply.value());
        return;
    }
    m_id = reply.value();
}

void TDesktopNotification::unavailable(const QString &reason) {
    static bool logged = false;
    if (!logged) {
        logged = true;
        LogError("Desktop notifications are not available (%s); nothing is shown and the "
                 "display time is waited out",
                 reason);
    }
}

void TDesktopNotification::closeOnServer(quint32 id) {
    if (id == 0 || !m_bus.isConnected())
        return;
    QDBusMessage call = methodCall("CloseNotification");
    call << id;
    m_bus.asyncCall(call, CallTimeoutMs);
}

void TDesktopNotification::end(TOutcome outcome) {
    m_timer.stop();
    m_active = false;
    switch (outcome) {
    case TOutcome::Clicked:
        emit Clicked();
        break;
    case TOutcome::Dismissed:
        emit Dismissed();
        break;
    case TOutcome::TimedOut:
        emit TimedOut();
        break;
    }
}

void TDesktopNotification::onActionInvoked(uint id, const QString &action) {
    if (!ours(id) || action != QLatin1String("default"))
        return;
    // Some servers leave a notification up after its action.
    closeOnServer(m_id);
    end(TOutcome::Clicked);
}

void TDesktopNotification::onNotificationClosed(uint id, uint reason) {
    if (!ours(id))
        return;
    if (reason == crExpired) {
        end(TOutcome::TimedOut);
    } else if (reason == crDismissed && !m_capabilities.contains(QStringLiteral("actions"))) {
        // Closing is all a user can do on a server without actions.
        end(TOutcome::Clicked);
    } else {
        end(TOutcome::Dismissed);
    }
}

void TDesktopNotification::onActivationToken(uint id, const QString &token) {
    if (ours(id))
        emit ActivationToken(token);
}

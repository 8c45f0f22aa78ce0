// SPDX-License-Identifier: MIT
#include "PopupGUISvr.h"

#include "AutomationRegistration.h"
#include "Log.h"
#include "PopupGUIAdaptor.h"
#include "SecureWipe.h"
#include "ZvError.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

IAutomationHost::~IAutomationHost() = default;

namespace {

const QString ErrorName = QStringLiteral("org.freedesktop.DBus.Error.Failed");

QString exceptionText(const std::exception &e) {
    if (const auto *error = dynamic_cast<const zv::ZvError *>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

TPopupGUI::TPopupGUI(IAutomationHost &host, const QDBusConnection &connection, QObject *parent)
    : QObject(parent), m_host(host), m_connection(connection) {
    new TPopupGUIAdaptor(this);
    m_watcher.setConnection(m_connection);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &TPopupGUI::callerLeft);
    m_idleExit.setSingleShot(true);
    m_idleExit.setInterval(IdleExitMs);
    connect(&m_idleExit, &QTimer::timeout, this, [this] {
        LogInfo("TPopupGUI: no call within %d seconds", IdleExitMs / 1000);
        checkCallers();
    });
}

TPopupGUI::~TPopupGUI() = default;

bool TPopupGUI::RegisterObject() {
    if (!m_connection.registerObject(QString::fromLatin1(AutomationObjectPath), this))
        return false;
    m_idleExit.start();
    return true;
}

QString TPopupGUI::PresentData(const QString &Request) {
    if (!calledFromDBus())
        return QString();
    setDelayedReply(true);
    m_idleExit.stop();
    const QDBusMessage call = message();
    const QString caller = call.service();
    QDBusConnection connection = this->connection();
    const bool newCaller = !m_queue.IsKnownCaller(caller);
    m_queue.Add(TPendingCall{caller, Request,
                             [connection, call](const QString &answer) mutable {
                                 connection.send(call.createReply(answer));
                             },
                             [connection, call](const QString &text) mutable {
                                 connection.send(call.createErrorReply(ErrorName, text));
                             }});
    if (newCaller) {
        m_watcher.addWatchedService(caller);
        // A caller that left before the watch was in place is never reported by it.
        if (!m_connection.interface()->isServiceRegistered(caller).value())
            QTimer::singleShot(0, this, [this, caller] { callerLeft(caller); });
    }
    scheduleNext();
    return QString();
}

void TPopupGUI::scheduleNext() {
    if (m_nextScheduled)
        return;
    m_nextScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_nextScheduled = false;
        runNext();
    });
}

void TPopupGUI::runNext() {
    TPendingCall *call = m_queue.StartNext();
    if (!call)
        return;
    try {
        m_host.BeginAutomationJob(call->request);
    } catch (const std::exception &e) {
        failCurrent(exceptionText(e));
        return;
    }
    answerCurrent();
}

void TPopupGUI::JobEnded() {
    answerCurrent();
}

void TPopupGUI::answerCurrent() {
    TPendingCall *call = m_queue.Current();
    if (!call || m_host.AutomationJobBusy())
        return;
    try {
        QString answer = m_host.AutomationAnswer();
        // The answer document holds the user's answers.
        LogInfo("TPopupGUI.PresentData Result: %s", "<Data removed for security reasons>");
        call->reply(answer);
        zv::SecureWipe(answer);
    } catch (const std::exception &e) {
        LogError("TPopupGUI.PresentData failed: %s", exceptionText(e));
        call->fail(exceptionText(e));
    }
    m_queue.FinishCurrent();
    scheduleNext();
    checkCallers();
}

void TPopupGUI::JobFailed(const QString &message) {
    if (m_queue.Current())
        failCurrent(message);
}

void TPopupGUI::failCurrent(const QString &message) {
    LogError("TPopupGUI.PresentData failed: %s", message);
    if (TPendingCall *call = m_queue.Current())
        call->fail(message);
    m_host.AbandonAutomationJob();
    m_queue.FinishCurrent();
    scheduleNext();
    checkCallers();
}

void TPopupGUI::callerLeft(const QString &caller) {
    m_watcher.removeWatchedService(caller);
    if (m_queue.CallerLeft(caller)) {
        LogInfo("TPopupGUI: caller %s left during its job", caller);
        m_host.AbandonAutomationJob();
        m_queue.FinishCurrent();
        scheduleNext();
    }
    checkCallers();
}

void TPopupGUI::checkCallers() {
    if (!m_queue.HasCallers() && !m_queue.Current() && m_queue.Waiting() == 0)
        emit AllCallersLeft();
}

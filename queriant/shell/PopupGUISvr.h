// SPDX-License-Identifier: MIT
// The automation object PopupGUI on the session bus. Each PresentData call is one job: the
// call is answered with a delayed reply once the job has ended, calls arriving meanwhile wait
// their turn, and a failure is returned as a D-Bus error carrying the failure's text. The
// process is meant to end once every caller has left the bus (AllCallersLeft), or when no call
// has come a minute after the object was exported (started by hand, or for a call whose caller
// gave up before the process was up).
#pragma once

#include "AutomationQueue.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// What the automation object needs of the host window that runs the jobs.
class IAutomationHost {
public:
    virtual ~IAutomationHost();
    // Loads the request and starts its job; throws when that fails.
    virtual void BeginAutomationJob(const QString &request) = 0;
    virtual bool AutomationJobBusy() const = 0;
    // The answer document of the job that ended; throws when there is none.
    virtual QString AutomationAnswer() = 0;
    // Ends the job in service without an answer (it failed or its caller left).
    virtual void AbandonAutomationJob() = 0;
};

class TPopupGUI : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    static constexpr int IdleExitMs = 60000;

    TPopupGUI(IAutomationHost &host, const QDBusConnection &connection, QObject *parent = nullptr);
    ~TPopupGUI() override;

    // Exports the object on /PopupGUI (nothing else yet) and starts the wait for a first call.
    bool RegisterObject();

    int WaitingCalls() const { return int(m_queue.Waiting()); }

public slots:
    // Called over the bus only; the return value is replaced by the delayed reply.
    QString PresentData(const QString &Request);
    // The host reports that a job reached its end (connect queued).
    void JobEnded();
    // The host reports that a failure ended the job in service (connect queued).
    void JobFailed(const QString &message);

signals:
    void AllCallersLeft();

private:
    void scheduleNext();
    void runNext();
    void answerCurrent();
    void failCurrent(const QString &message);
    void callerLeft(const QString &caller);
    void checkCallers();

    IAutomationHost &m_host;
    QDBusConnection m_connection;
    QDBusServiceWatcher m_watcher;
    TAutomationQueue m_queue;
    bool m_nextScheduled = false;
    QTimer m_idleExit;
};

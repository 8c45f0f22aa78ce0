// SPDX-License-Identifier: MIT
// The host window: borderless, on top, centred on its monitor. It owns the question manager,
// embeds one question dialog at a time as the manager presents the sets, runs the dialog
// time-out, ends the process with its exit code, and shows the error screen. In automation
// mode it runs the jobs of the automation object.
#pragma once

#include "ClientTestFrm.h"
#include "DialogTimeout.h"
#include "ForegroundWatch.h"
#include "PopupGUISvr.h"
#include "QuestionManager.h"

#include <QStringList>
#include <QWidget>

#include <exception>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class TAlignLabel;
class TQuestionForm;
class TWaitingNotice;
class TZvFileLog;
class TZvTraceLog;

// Name of the event signalled once at the end of every run; ZORVANT_UPDATE_TRIGGER names
// another one (tests).
QString UpdateTriggerEventName();

class TMainForm : public QWidget, public IAutomationHost {
    Q_OBJECT

public:
    static constexpr int DesignWidth = 514;
    static constexpr int DesignHeight = 358;
    // Height of the error screen's advice line above the OK button.
    static constexpr int AdviceHeight = 36;

    // arguments: the whole command line, program path first. Sets up logging and the
    // manager; the job starts with StartJob.
    explicit TMainForm(const QStringList &arguments);
    ~TMainForm() override;

    // Starts the job of run modes 1 to 3 and shows the window when it has dialogs; nothing
    // in run mode 0. Exceptions reach the caller.
    void StartJob();
    // The error screen.
    void HandleException(const std::exception &e);

    TQuestionManager *Manager() const { return m_manager.get(); }
    TQuestionForm *CurrentDialog() const { return m_dialog.get(); }
    const TDialogTimeout &DialogTimeOut() const { return m_timeout; }
    QString ErrorText() const;
    QString ArabicErrorText() const;
    QString TitleText() const;

    // IAutomationHost
    void BeginAutomationJob(const QString &request) override;
    bool AutomationJobBusy() const override;
    QString AutomationAnswer() override;
    void AbandonAutomationJob() override;

    // Controls of the design.
    QFrame *Panel2 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    TAlignLabel *TitleLbl = nullptr;
    TAlignLabel *ErrorLbl = nullptr;
    TAlignLabel *ArabicErrorLbl = nullptr;
    // Under the error text: what happened to the job.
    TAlignLabel *AdviceLbl = nullptr;
    QPushButton *Button1 = nullptr;

public slots:
    // Requests of other processes over the bus (/MainForm).
    void StartQuestionManager(int Value);
    void HideQuestionManager();
    void Button1Click();

signals:
    // Automation: the job in service reached its end, or a failure ended it.
    void AutomationJobEnded();
    void AutomationJobFailed(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void createControls();
    void setUpLogging();
    void logCommandLine(const QStringList &arguments);
    void createManager(const QStringList &parameters);
    void layoutControls();
    // The job's client size, centred on the monitor.
    void placeAtClientSize();
    void closeDialog();
    // Raises and activates the window, the focus in its first control; activationToken is
    // one a notification server gave for this activation. Watches whether the desktop let it.
    void BringToForeground(const QString &activationToken = QString());
    void ForegroundRefused();
    void WaitingNoticeInvoked(const QString &activationToken);
    void withdrawWaitingNotice();
    // The control that now holds the focus.
    QWidget *focusFirstEdit();
    void endOfJob();
    void signalUpdateTrigger() noexcept;

    // Manager events
    void HandlePresentQuestionSet(TQuestionManager &manager, TQuestionSet &set,
                                  TWizardDirection direction);
    void HandleJobStarted(TQuestionManager &manager);
    void HandleActivity(TQuestionManager &manager);
    void HandleAnswerChanged(TQuestion &question);
    void HandleCancel(TQuestionManager &manager);
    void HandleTimeout(TQuestionManager &manager);
    void HandleFinished(TQuestionManager &manager);
    void HandleHide(TQuestionManager &manager);
    void HandleChargeToBalloonShow(TQuestionManager &manager);
    void HandleChargeToBalloonTimeout(TQuestionManager &manager);
    void HandleChargeToBalloonClicked(TQuestionManager &manager);
    void DialogTimeOutTimer();

    std::unique_ptr<TZvTraceLog> m_traceLog;
    std::unique_ptr<TZvFileLog> m_fileLog;
    std::unique_ptr<TQuestionManager> m_manager;
    // The test run's dialog, shown before the job and again with its answers.
    std::unique_ptr<TClientTester> m_tester;
    std::unique_ptr<TQuestionForm> m_dialog;
    TDialogTimeout m_timeout;
    TForegroundWatch m_foreground;
    // The notification of a window that could not come to the front.
    std::unique_ptr<TWaitingNotice> m_waitingNotice;
    const QEvent *m_lastKeyEvent = nullptr;
};

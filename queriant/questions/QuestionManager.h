// SPDX-License-Identifier: MIT
// Carries one print job from start to end: obtains the questions, hands the question sets one
// by one to the host window, moves forward and back on the dialogs' request and ends the job as
// answered, cancelled or timed out. Talks to the host only through its events.
#pragma once

#include "BalloonNotifier.h"
#include "CostCenter.h"
#include "JobOptions.h"
#include "JobStart.h"
#include "Questions.h"
#include "XMLAccess.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TQuestionManager;
class TServerLookups;
class TShortCutDef;
class TShortCutManager;

// Response kinds recorded at the end of a job.
enum : int {
    rkCancelled = 0,
    rkAnswered = 1,
    rkTimedOut = 2,
};

// Where the questions of run modes 1 to 3 come from and where the outcome goes: the popup
// server with its job details, prior-jobs list and shortcuts (modes 1 and 2), or the request
// file (mode 3). The manager owns its source. The defaults are what a job without a server
// connection does. A source sets the job's options (SetJobOptions) while it sets up the job.
class TJobSource {
public:
    virtual ~TJobSource();
    // Loads the job's questions and sets into the manager (the job-source step of Start).
    virtual void SetUpJob(TQuestionManager &manager) = 0;
    // Called by EndJob before the questions are freed; must not throw.
    virtual void EndJob(TQuestionManager &manager);
    // The popup server's look-ups; none for a job without a server.
    virtual TServerLookups *ServerLookups();
    // Popup-server jobs only.
    virtual void RecordResponse(TQuestionManager &manager, int kind);
    virtual void ReturnAnswers(TQuestionManager &manager);
    virtual QString GetUserName() const;
    virtual void SetUserName(TQuestionManager &manager, const QString &name);
    virtual void CheckLastAnswers(TQuestionManager &manager);
    virtual void UseLastAnswers(TQuestionManager &manager);
    virtual void SaveLastAnswers(TQuestionManager &manager);
};

// A set's place in the job: first of several, single, last of several, otherwise middle;
// the first match wins.
TFormMode FormModeFor(const TQuestionManager &manager, const TQuestionSet *set);

// What the charge balloon names as charged: the set's answers that are not empty, joined with
// ", "; empty when every level is.
QString ChargedToText(const TQuestionSet &set);

class TQuestionManager {
public:
    using TNotifyEvent = std::function<void(TQuestionManager &)>;
    using TPresentEvent = std::function<void(TQuestionManager &, TQuestionSet &, TWizardDirection)>;
    using TAnswerEvent = std::function<void(TQuestion &)>;
    using TBalloonFactory = std::function<std::unique_ptr<TBalloonNotifier>()>;

    // start: the job's command line. source: the job source of run modes 1 to 3; without
    // one, starting such a job raises an error.
    explicit TQuestionManager(const TJobStart &start, std::unique_ptr<TJobSource> source = nullptr);
    ~TQuestionManager();
    TQuestionManager(const TQuestionManager &) = delete;
    TQuestionManager &operator=(const TQuestionManager &) = delete;

    // Job flow
    void Start();
    void NextSet();
    void PrevSet();
    void Finish();
    void Cancel();
    void Timeout();
    void Hide();
    void NotifyActivity();
    void RecordResponse(int kind);
    void ReturnAnswers();
    void EndJob();
    void SwitchUser();

    // Request documents
    void LoadGuiQuestions(const QString &request);
    void LoadGuiQuestions(const QByteArray &request) {
        LoadGuiQuestions(DecodeRequestText(request));
    }
    void SaveAnswersToXML(int kind);

    // Last answers (kept by the popup-server job)
    void CheckLastAnswers();
    void UseLastAnswers();
    void SaveLastAnswers();

    // The charge balloon: shown after the last set when the job's cost center was chosen
    // without the dialog; returns whether it is now shown (the job then waits for it).
    bool ChargeToBalloonNotify();
    // Presents the cost-center set again (the balloon was clicked).
    void ShowCostCenterForm();
    // A new notifier from BalloonFactory; none without a factory.
    std::unique_ptr<TBalloonNotifier> CreateBalloon() const;
    TBalloonNotifier *Balloon() const { return FBalloon.get(); }

    // The print job's document name; empty where there is none (request file, automation).
    QString DocumentName() const;

    // The options of the job, as its source set them at the start; defaults before that.
    const TJobOptions &JobOptions() const { return m_options; }
    void SetJobOptions(const TJobOptions &options) { m_options = options; }

    // Server look-ups of the dialogs (CostCenterServices.cpp). They exist only in jobs with a
    // popup server (HasServerLookups); elsewhere each raises "Server look-ups exist only in
    // popup server jobs", except RefreshSqlList without a question.
    bool HasServerLookups() const;
    // The level's recent codes, or its matching codes; both fill the question's History and
    // GridHeader, send nothing while History is filled, and return History.
    const TCostCenterList &LoadHistory(TQuestion &question, const TQuestion *previous);
    const TCostCenterList &SearchCostCenters(TQuestion &question, const QString &searchText,
                                             const TQuestion *previous);
    // The user's recent combinations for the set's levels (25 at most).
    TCostCenterHistory ListLastAnswers(const TQuestionSet &set);
    bool CheckCostCenters(TQuestionSet &set, bool checkOnly);
    bool NoCostCentersAvailable(const TQuestionSet &set);
    void RefreshSqlList(TQuestion *question);
    void ValidateSelection(const TQuestionSet &set);
    // The user's saved shortcuts, and the server check of one of them.
    TShortCutManager &ShortCutManager();
    void ValidateShortcut(TShortCutDef &shortcut, const TQuestionSet &set);

    // Throws with the reason when the answer does not fit the question's rules.
    void ValidateAnswer(const TQuestion &question, const QString &answer) const;

    bool SingleClick() const;
    int QuestionCount() const { return int(FQuestionList.size()); }
    TQuestion *Question(int i) const;
    int QuestionSetCount() const { return int(FQuestionSetList.size()); }
    TQuestionSet *QuestionSet(int i) const;
    int IndexOfSet(const TQuestionSet *set) const;
    int VisibleSetCount() const;
    bool IsFirstSet(const TQuestionSet *set) const;
    bool IsLastSet(const TQuestionSet *set) const;
    bool IsSingleSet() const;
    bool IsGuestCardJob() const;
    bool AllQuestionsHaveSaveMode(quint8 mode) const;
    QString GetUserName() const;
    void SetUserName(const QString &name);
    bool Busy() const { return FBusy; }
    quint8 RunMode() const { return FRunMode; }
    const TJobStart &JobStart() const { return m_start; }
    const QStringList &Parameters() const { return m_start.Parameters; }

    // Frees every question and set of the job.
    void ClearQuestions();

    // The job's state. The job source fills the lists and the server's answers.
    std::vector<std::unique_ptr<TQuestion>> FQuestionList;
    std::vector<std::unique_ptr<TQuestionSet>> FQuestionSetList;
    bool FSingleClick = false;
    TQuestionSet *FCurrentSet = nullptr;
    qint32 FTransactionNumber = 0;
    bool FLastAnswersAvailable = false;
    bool FMultipartPrintJob = false;
    qint32 FLastUserResponse = -1;
    QByteArray FDmsDllConfig;
    qint32 FDialogTimeout = 0;
    TXMLAccess FQuestionXML;
    quint8 FRunMode = rmTestRun;
    bool FBusy = false;
    qint32 FClientWidth = 536;
    qint32 FClientHeight = 382;
    bool FGuestMode = false;
    bool FGuestAccountUser = false;
    QString FQueueName;
    // The charge balloon while it is shown.
    std::unique_ptr<TBalloonNotifier> FBalloon;
    bool FBalloonShown = false;
    bool FSkipIfNotMandatory = false;
    qint32 FKeepLastAnswersPeriod = 0;
    bool FShowChargeBalloon = true;
    bool FLastAnswersExpired = false;

    // Events; an empty one is not raised.
    TNotifyEvent OnCancel;
    TNotifyEvent OnJobStarted;
    TNotifyEvent OnTimeout;
    TNotifyEvent OnHide;
    TNotifyEvent OnFinished;
    TPresentEvent OnPresentQuestionSet;
    TNotifyEvent OnActivity;
    TAnswerEvent OnAnswerChanged;
    TNotifyEvent OnChargeToBalloonShow;
    TNotifyEvent OnChargeToBalloonTimeout;
    TNotifyEvent OnChargeToBalloonClicked;
    // Makes the notifiers of the charge balloon and the balloon dialog.
    TBalloonFactory BalloonFactory;

private:
    bool isServerJob() const;
    TServerLookups &lookups() const;
    void finishAtLastSet();
    void chargeBalloonEnded(bool clicked);
    void present(TQuestionSet *set, TWizardDirection direction);
    std::vector<const TQuestionSet *> visibleSets() const;

    TJobStart m_start;
    std::unique_ptr<TJobSource> m_source;
    TJobOptions m_options;
};

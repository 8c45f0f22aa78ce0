// SPDX-License-Identifier: MIT
// Carries one print job from start to end: obtains the questions, hands the question sets one
// by one to the host window, moves forward and back on the dialogs' request and ends the job as
// answered, cancelled or timed out. Talks to the host only through its events.
#pragma once

#include "Questions.h"
#include "XMLAccess.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TQuestionManager;

// Run modes, decided from the command line.
enum : quint8 {
    rmAutomation = 0,
    rmTestRun = 1,
    rmJobParameters = 2,
    rmRequestFile = 3,
};

// Response kinds recorded at the end of a job.
enum : int {
    rkCancelled = 0,
    rkAnswered = 1,
    rkTimedOut = 2,
};

// Run mode of a command line (parameters without the program path): 1 without parameters,
// 2 with any, 0 with the switch AUTOMATION or EMBEDDING, 3 with XpNotify; switches begin with
// "/" or "-" and ignore case.
quint8 RunModeFromParameters(const QStringList &parameters);

// Where the questions of run modes 1 to 3 come from and where the outcome goes: the popup
// server with its job details, prior-jobs list and shortcuts (modes 1 and 2), or the request
// file (mode 3). The manager owns its source. The defaults are what a job without a server
// connection does.
class TJobSource {
public:
    virtual ~TJobSource();
    // Loads the job's questions and sets into the manager (the job-source step of Start).
    virtual void SetUpJob(TQuestionManager &manager) = 0;
    // Called by EndJob before the questions are freed; must not throw.
    virtual void EndJob(TQuestionManager &manager);
    // Popup-server jobs only.
    virtual void RecordResponse(TQuestionManager &manager, int kind);
    virtual void ReturnAnswers(TQuestionManager &manager);
    virtual bool AutoAdvance() const;
    virtual QString GetUserName() const;
    virtual void SetUserName(TQuestionManager &manager, const QString &name);
    virtual void CheckLastAnswers(TQuestionManager &manager);
    virtual void UseLastAnswers(TQuestionManager &manager);
    virtual void SaveLastAnswers(TQuestionManager &manager);
    // Whether the charge balloon is now shown (the job then waits for it).
    virtual bool ChargeToBalloonNotify(TQuestionManager &manager);
};

class TQuestionManager {
public:
    using TNotifyEvent = std::function<void(TQuestionManager &)>;
    using TPresentEvent = std::function<void(TQuestionManager &, TQuestionSet &, TWizardDirection)>;
    using TAnswerEvent = std::function<void(TQuestion &)>;

    // parameters: the command line without the program path. source: the job source of run
    // modes 1 to 3; without one, starting such a job raises an error.
    explicit TQuestionManager(const QStringList &parameters,
                              std::unique_ptr<TJobSource> source = nullptr);
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
    bool ChargeToBalloonNotify();

    // Server look-ups of the dialogs, popup-server jobs only (CostCenterServices.cpp).
    void LoadHistory(TQuestion &question, const TQuestion *previous);
    void SearchCostCenters(TQuestion &question, const QString &searchText,
                           const TQuestion *previous);
    bool CheckCostCenters(TQuestionSet &set, bool checkOnly);
    bool NoCostCentersAvailable(const TQuestionSet &set);
    void RefreshSqlList(TQuestion *question);
    void ValidateSelection(const TQuestionSet &set);

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
    const QStringList &Parameters() const { return m_parameters; }
    TJobSource *JobSource() const { return m_source.get(); }

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

private:
    bool isServerJob() const;
    void finishAtLastSet();
    void present(TQuestionSet *set, TWizardDirection direction);
    std::vector<const TQuestionSet *> visibleSets() const;

    QStringList m_parameters;
    std::unique_ptr<TJobSource> m_source;
};

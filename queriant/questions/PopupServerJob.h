// SPDX-License-Identifier: MIT
// The job source of run modes 1 and 2: the job details from the print data manager, the popup
// server found and connected with a session key, the job announced, its question descriptors
// turned into questions and grouped into sets, the document-management plug-in asked, and the
// answers written back into the job section at the end.
#pragma once

#include "PopupProtocol.h"
#include "PrintDataManager.h"
#include "PrintJobDetails.h"
#include "QuestionManager.h"
#include "ServerLookups.h"
#include "ShortCutManager.h"

#include <memory>

inline constexpr const char *PopupClientKeyName = "SOFTWARE\\Zorvant\\Popup Client";
inline constexpr const char *LocalPrintersKeyName =
    "Software\\Zorvant\\Popup Client\\LocalPrinters";
inline constexpr int DefaultPopupPort = 28203;
// In the connection's unit, seconds.
inline constexpr int DefaultPopupTimeOut = 20000;

// The logon question-set template: four lines of comma-separated fields.
extern const char *const LogonSetTemplate[4];

// The multipart check's settings, HKEY_LOCAL_MACHINE only.
struct TMultipartSettings {
    qint32 SkipDialogTimeout = 0;
    qint32 CheckDocNames = 0;
};
// Both values or neither: when either cannot be read the reason is logged and both count as 0.
TMultipartSettings ReadMultipartSettings();

// The manager's registry settings of a popup-server job.
struct TPopupClientSettings {
    qint32 DialogTimeout = 0;
    bool SkipIfNotMandatory = false;
    qint32 KeepLastAnswersPeriod = 0;
    bool ShowChargeBalloon = true;
};
// HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER over it; a missing value or one of another type
// leaves the value before it.
TPopupClientSettings ReadPopupClientSettings();

// A question built from a server descriptor.
std::unique_ptr<TQuestion> QuestionFromDescriptor(const TQuestionDescriptor &descriptor);
// Template sets, one set per remaining question (all cost-center questions share one), then
// the sets in question order.
std::vector<std::unique_ptr<TQuestionSet>>
BuildQuestionSets(const std::vector<std::unique_ptr<TQuestion>> &questions);

// The job's options as the server's job announcement gives them.
TJobOptions JobOptionsFrom(const popup::TJobSettings &settings);

class TPopupServerJob : public TJobSource, public TServerLookups {
public:
    // start: the job's command line. Loads the prior print jobs list, which the destructor
    // saves.
    explicit TPopupServerJob(const TJobStart &start, TTestForm testForm = {});
    ~TPopupServerJob() override;

    void SetUpJob(TQuestionManager &manager) override;
    void RecordResponse(TQuestionManager &manager, int kind) override;
    void ReturnAnswers(TQuestionManager &manager) override;
    TServerLookups *ServerLookups() override { return this; }
    QString GetUserName() const override;
    void SetUserName(TQuestionManager &manager, const QString &name) override;
    void CheckLastAnswers(TQuestionManager &manager) override;
    void UseLastAnswers(TQuestionManager &manager) override;
    void SaveLastAnswers(TQuestionManager &manager) override;

    // Whether this job is a further part of the previous one of its print server and question
    // group; adds the entry when there is none and clears expired answers.
    void CheckMultipartPrintJob(TQuestionManager &manager);
    // Validates each line of the stored answer text against its question and keeps it as the
    // question's last answer; throws at the first line that does not fit.
    void ApplyLastAnswers(TQuestionManager &manager, const QByteArray &answers);

    void SetUpServerJob(TQuestionManager &manager);
    static QString FindLocalPrinterAddress(const QString &queue);
    void InitNewJob(TQuestionManager &manager);
    void LoadQuestions(TQuestionManager &manager);
    void RunDmsDll(TQuestionManager &manager);
    bool IsGuestAccountUser(const TQuestionManager &manager) const;
    static QString GetTokenAccountName();
    void ClearCostCenterCache(TQuestionManager &manager);

    // The look-ups, for the job's user.
    TCostCenterList FindUserCodes(const QString &category, const QString &pattern,
                                  const QString &parent, int maximum) override;
    TCostCenterList ListRecentUserCodes(const QString &category, const QString &parent,
                                        int maximum) override;
    TCostCenterHistory ListLastAnswers(const QString &category, int maximum) override;
    QStringList GetSqlList(const QString &statement, const QString &firstLine,
                           const QString &secondLine, const QString &values) override;
    TJobDetails JobDetails() const override;
    TShortCutManager &ShortCutManager() override { return *FShortCutManager; }

    TPopupProtocol &Protocol() { return *FProtocol; }
    TPrintJobList &PrintJobList() { return *FPrintJobList; }
    // Created by the first step of SetUpJob.
    TPrintDataManager *PrintDataManager() const { return FPrintDataManager.get(); }

private:
    void ConfigureConnection();
    void ReadPrintData();
    // The keys of this job's entry in the prior print jobs list.
    QByteArray PrintServerName() const;
    QByteArray QuestionGroupName() const;
    QByteArray DocumentName() const;
    void VerifyLastAnswers(TQuestionManager &manager, const QByteArray &questionNames);

    TJobStart m_start;
    TTestForm m_testForm;
    std::unique_ptr<TPopupProtocol> FProtocol;
    std::unique_ptr<TShortCutManager> FShortCutManager;
    std::unique_ptr<TPrintDataManager> FPrintDataManager;
    std::unique_ptr<TPrintJobList> FPrintJobList;
};

// SPDX-License-Identifier: MIT
// The prior print jobs kept between runs in a shared section that the sibling program velkor
// creates: one entry per print server and question group, with the remembered answers
// (encrypted) and the time of the last response.
#pragma once

#include "MemMappedFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// Local time as days since 30 December 1899, the fraction being the time of day.
double DateTimeToJobTime(const QDateTime &time);
QDateTime JobTimeToDateTime(double days);

class TPrintJobDetails {
public:
    TPrintJobDetails() = default;
    TPrintJobDetails(const QByteArray &printServerName, const QByteArray &questionGroupName,
                     const QByteArray &docName);

    QByteArray PrintServerName;
    QByteArray QuestionGroupName;
    QByteArray DocName;
    double JobReceived = 0;
    qint32 LastUserResponse = 0;
    QByteArray LastQuestions;

    // Stores the answers text encrypted; an empty text gives 16 bytes.
    void SetLastAnswers(const QByteArray &text);
    // The decrypted answers; the caller wipes the result when done with it.
    QByteArray GetLastAnswers() const;

    const QByteArray &LastAnswers() const { return FLastAnswers; }
    qint32 CryptSize() const { return qint32(FLastAnswers.size()); }
    void SetRawLastAnswers(const QByteArray &cipher) { FLastAnswers = cipher; }

private:
    QByteArray FLastAnswers;
};

// One entry of the section layout, read or written at the reader's or writer's position.
std::unique_ptr<TPrintJobDetails> ReadPriorJob(TSectionReader &reader);
void WritePriorJob(TSectionWriter &writer, const TPrintJobDetails &job);

// "Local\PopupPriorPrintJobDetailsList"; ZORVANT_PRIOR_JOBS_SECTION names another one (tests).
QString PriorJobsSectionName();

class TPrintJobList {
public:
    explicit TPrintJobList(const QString &sectionName = PriorJobsSectionName());

    // Appends the entries held in the section. When the section is missing, starts velkor with
    // the section's name so that later runs find it; a damaged section keeps the entries read
    // before the damage.
    void LoadPrintJobs();
    // Rewrites the section from the list. Failures (a missing section, a list that does not
    // fit) are logged and leave the section as it was.
    void SavePrintJobs();

    // The newest entry of the print server and question group, or none.
    TPrintJobDetails *FindPriorPrintJob(const QByteArray &printServerName,
                                        const QByteArray &questionGroupName);
    void Add(std::unique_ptr<TPrintJobDetails> job);
    // The question names and the decrypted answers of the newest match; the caller wipes them.
    bool GetPriorJobLastAnswers(const QByteArray &printServerName,
                                const QByteArray &questionGroupName, QByteArray &lastQuestions,
                                QByteArray &lastAnswers);
    void SetPriorJobLastAnswers(const QByteArray &printServerName,
                                const QByteArray &questionGroupName, const QByteArray &answers,
                                const QByteArray &questions);
    void SetPriorJobResponse(const QByteArray &printServerName, const QByteArray &questionGroupName,
                             qint32 response);

    qsizetype Count() const { return qsizetype(FJobs.size()); }
    TPrintJobDetails &Item(qsizetype index) { return *FJobs.at(size_t(index)); }

    // Starts the program and waits for it up to waitMs; logs the outcome, never fails.
    static void StartProgram(const QString &program, const QStringList &arguments, int waitMs);

private:
    TPrintJobDetails *Match(const QByteArray &printServerName,
                            const QByteArray &questionGroupName) const;
    void StartVelkor();

    TMemMappedFile FMemFile;
    std::vector<std::unique_ptr<TPrintJobDetails>> FJobs;
};

// SPDX-License-Identifier: MIT
// The details of the print job this client handles: read at the start together with the popup
// server's port and time limit and the sign-up session user, changed by a logon answer, and
// written back at the end as the encrypted answer record.
#pragma once

#include "JobStart.h"
#include "MemMappedFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

inline constexpr const char *PopupServerKeyName = "SOFTWARE\\Zorvant\\Popup Client\\server";
inline constexpr const char *SignUpClientKeyName = "SOFTWARE\\Zorvant\\Enrolla Client";
// Fixed names of the answer record's pairs.
inline constexpr const char *CCStaticText = "CC_Static";
inline constexpr const char *StaticNotifyIPText = "StaticNotifyIP";

// One question as the answer record needs it. The answer is wiped when the item goes.
struct TAnswerItem {
    QString Name;
    QString Category;
    QByteArray FormType;
    QString Answer;

    TAnswerItem() = default;
    TAnswerItem(QString name, QString category, QByteArray formType, QString answer);
    ~TAnswerItem();
    TAnswerItem(const TAnswerItem &) = delete;
    TAnswerItem &operator=(const TAnswerItem &) = delete;
    TAnswerItem(TAnswerItem &&) noexcept = default;
    TAnswerItem &operator=(TAnswerItem &&) noexcept = default;
};

// What the client test form hands over when confirmed.
struct TTestFormResult {
    TJobDetails JobDetails;
    QString ServerHost;
    QString ServerPort;
    QString ReceiveTimeout;
};
// Shows the test form modally; nullopt when the user cancelled it.
using TTestForm = std::function<std::optional<TTestFormResult>()>;

// The test form was cancelled: the program ends without a job.
class ETestRunCancelled : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TPrintDataManager {
public:
    // One job parameter names the job section; none shows the test form; two or more are
    // print server and queue.
    explicit TPrintDataManager(const TJobStart &start, const TTestForm &testForm = {});

    TJobDetails JobDetails;
    bool TestMode = false;
    QString ServerHost;
    QString ServerPort;
    QString ReceiveTimeout;
    // The user of the current sign-up session; empty when there is none.
    QString SignUpUserName;

    // The job's questions as the answer record needs them (a copy; see TAnswerItem).
    void SetQuestions(std::vector<TAnswerItem> questions);
    const std::vector<TAnswerItem> &Questions() const { return m_questions; }
    // An empty name restores the user read from the section.
    void SetUserName(const QString &name);
    // Writes the answer record into the job section (normal start only); wipes the answers.
    void WriteAnswers(bool guestChoice, const QString &localAddress);
    static int SessionId();

private:
    void ReadNormalStart(const QString &sectionName);
    void ReadTestForm(const TTestForm &testForm);

    QString m_sectionName;
    // Only a job started with its section gets the answer record.
    bool m_writesAnswers = false;
    std::vector<TAnswerItem> m_questions;
};

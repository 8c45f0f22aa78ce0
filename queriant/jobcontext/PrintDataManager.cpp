// SPDX-License-Identifier: MIT
#include "PrintDataManager.h"

#include "Log.h"
#include "SecureWipe.h"
#include "ZvRegistry.h"
#include "ZvUserInfo.h"

TAnswerItem::TAnswerItem(QString name, QString category, QByteArray formType, QString answer)
    : Name(std::move(name)), Category(std::move(category)), FormType(std::move(formType)),
      Answer(std::move(answer)) {}

TAnswerItem::~TAnswerItem() {
    zv::SecureWipe(Answer);
}

TPrintDataManager::TPrintDataManager(const TJobStart &start, const TTestForm &testForm)
    : m_writesAnswers(start.NamesJobSection()) {
    const QStringList parameters = start.JobParameters();
    if (start.NamesJobSection()) {
        ReadNormalStart(start.SectionName);
    } else if (parameters.isEmpty()) {
        ReadTestForm(testForm);
    } else {
        JobDetails.OmbrelServer = parameters.at(0);
        JobDetails.SpoolQueue = parameters.at(1);
    }
}

void TPrintDataManager::ReadNormalStart(const QString &sectionName) {
    m_sectionName = sectionName;
    TMemMappedFile file(sectionName);
    // Without its section there is no job to ask about: say which section is missing rather
    // than go on with empty details to a default server.
    try {
        file.Open();
    } catch (const EMemMappedFileError &e) {
        throw zv::ZvError(QStringLiteral("Cannot read the job details section \"%1\": %2")
                              .arg(sectionName, e.message()));
    }
    file.Close();
    file.ReadJobDetails(JobDetails);
    ServerHost = JobDetails.OmbrelServer;

    const QString keyName = QString::fromLatin1(PopupServerKeyName);
    const auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, keyName);
    if (!key)
        throw zv::ZvError(QStringLiteral("Failed to open HKEY_LOCAL_MACHINE Registry key:") +
                          keyName);
    ReceiveTimeout = key->readString(QStringLiteral("ReceiveTimeout")).value_or(QString());
    ServerPort = key->readString(QStringLiteral("ServerPort")).value_or(QString());

    if (const auto signUp =
            zv::ZvRegKey::open(zv::RegRoot::LocalMachine, QString::fromLatin1(SignUpClientKeyName)))
        SignUpUserName = signUp->readString(QStringLiteral("SessionDetails")).value_or(QString());
    LogInfo("EnrollaUser=\"%s\"", SignUpUserName);
    if (!SignUpUserName.isEmpty())
        JobDetails.UserName = SignUpUserName;
}

void TPrintDataManager::ReadTestForm(const TTestForm &testForm) {
    if (!testForm)
        throw zv::ZvError(QStringLiteral(
            "A start without parameters needs the client test form, which this build lacks"));
    std::optional<TTestFormResult> result = testForm();
    if (!result)
        throw ETestRunCancelled(QStringLiteral("The test form was cancelled"));
    JobDetails = result->JobDetails;
    ServerHost = result->ServerHost;
    ServerPort = result->ServerPort;
    ReceiveTimeout = result->ReceiveTimeout;
    TestMode = true;
}

void TPrintDataManager::SetQuestions(std::vector<TAnswerItem> questions) {
    m_questions = std::move(questions);
}

void TPrintDataManager::SetUserName(const QString &name) {
    JobDetails.UserName = name.isEmpty() ? JobDetails.ReceivedUserName : name;
}

void TPrintDataManager::WriteAnswers(bool guestChoice, const QString &localAddress) {
    if (!m_writesAnswers)
        return;
    TMemMappedFile file(m_sectionName);
    file.ClearRecord();
    const bool useFirstAnswer = guestChoice && !m_questions.empty();
    file.AddRecordLine(JobDetails.WorkStation, 0);
    file.AddRecordLine(useFirstAnswer ? m_questions.front().Answer : JobDetails.UserName, 0);
    file.AddRecordLine(JobDetails.Document, 0);
    file.AddRecordLine(QString::number(JobDetails.NumPages), 0);

    if (!guestChoice) {
        for (size_t i = 0; i < m_questions.size(); ++i) {
            const TAnswerItem &q = m_questions[i];
            if (i == 0 && q.FormType == "guestcardform")
                continue;
            if (!q.Category.isEmpty()) {
                file.AddRecordLine(QString::fromLatin1(CCStaticText), 1);
                QString line = q.Category + QChar(u'\r') + q.Answer;
                file.AddRecordLine(line, 1);
                zv::SecureWipe(line);
            } else {
                file.AddRecordLine(q.Name, 1);
                file.AddRecordLine(q.Answer, 1);
            }
        }
    }
    file.AddRecordLine(QString::fromLatin1(StaticNotifyIPText), 1);
    file.AddRecordLine(QStringLiteral("%1:S%2").arg(localAddress).arg(SessionId()), 1);
    file.AddRecordLine(QString(), 2);
    m_questions.clear();
    file.WriteRecord();
}

int TPrintDataManager::SessionId() {
    return zv::terminalSessionId();
}

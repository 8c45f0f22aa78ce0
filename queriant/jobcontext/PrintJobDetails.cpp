// SPDX-License-Identifier: MIT
#include "PrintJobDetails.h"

#include "AesUse.h"
#include "Log.h"
#include "SecureWipe.h"
#include "ZvChildProcess.h"
#include "ZvRegistry.h"

#include <cmath>

namespace {

const QDate JobTimeEpoch(1899, 12, 30);
constexpr double MsecsPerDay = 86400000.0;

// What a wait reports when the process ended, or when the time ran out first.
constexpr int WaitObject0 = 0;
constexpr int WaitTimeout = 258;

// Windows' terminal-services suite bit: the per-session "Local\" name always applies here.
constexpr int VerSuiteTerminal = 0x0010;

} // namespace

double DateTimeToJobTime(const QDateTime &time) {
    const QDateTime local = time.toLocalTime();
    return double(JobTimeEpoch.daysTo(local.date())) +
           double(local.time().msecsSinceStartOfDay()) / MsecsPerDay;
}

QDateTime JobTimeToDateTime(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return {};
    const double whole = std::floor(days);
    const int msecs = int(std::lround((days - whole) * MsecsPerDay));
    return QDateTime(JobTimeEpoch.addDays(qint64(whole)), QTime(0, 0)).addMSecs(msecs);
}

TPrintJobDetails::TPrintJobDetails(const QByteArray &printServerName,
                                   const QByteArray &questionGroupName, const QByteArray &docName)
    : PrintServerName(printServerName), QuestionGroupName(questionGroupName), DocName(docName) {
    SetLastAnswers({});
}

void TPrintJobDetails::SetLastAnswers(const QByteArray &text) {
    FLastAnswers = TAesUse::EncryptText(text);
}

QByteArray TPrintJobDetails::GetLastAnswers() const {
    return TAesUse::DecryptText(FLastAnswers);
}

std::unique_ptr<TPrintJobDetails> ReadPriorJob(TSectionReader &reader) {
    auto job = std::make_unique<TPrintJobDetails>();
    job->PrintServerName = reader.ReadText();
    job->QuestionGroupName = reader.ReadText();
    job->DocName = reader.ReadText();
    job->JobReceived = reader.ReadDouble();
    job->LastUserResponse = reader.ReadInteger();
    job->LastQuestions = reader.ReadText();
    const qint32 cryptSize = reader.ReadInteger();
    if (cryptSize < 0)
        throw EMemMappedFileError(
            QStringLiteral("Invalid size of the last answers: %1").arg(cryptSize));
    job->SetRawLastAnswers(reader.ReadBytes(cryptSize));
    return job;
}

void WritePriorJob(TSectionWriter &writer, const TPrintJobDetails &job) {
    writer.WriteText(job.PrintServerName);
    writer.WriteText(job.QuestionGroupName);
    writer.WriteText(job.DocName);
    writer.WriteDouble(job.JobReceived);
    writer.WriteInteger(job.LastUserResponse);
    writer.WriteText(job.LastQuestions);
    writer.WriteInteger(job.CryptSize());
    writer.WriteBytes(job.LastAnswers().constData(), job.CryptSize());
}

QString PriorJobsSectionName() {
    const QString name = qEnvironmentVariable("ZORVANT_PRIOR_JOBS_SECTION");
    return name.isEmpty() ? QStringLiteral("Local\\PopupPriorPrintJobDetailsList") : name;
}

TPrintJobList::TPrintJobList(const QString &sectionName) : FMemFile(sectionName) {
    LogInfo("VerInfoEx.wSuiteMask=%d", VerSuiteTerminal);
}

void TPrintJobList::LoadPrintJobs() {
    bool opened = false;
    QByteArray image;
    try {
        FMemFile.Open();
        opened = true;
        image = FMemFile.ReadBytes(MemFileSize);
        FMemFile.Close();
        TSectionReader reader(image);
        const qint32 numJobs = reader.ReadInteger();
        LogInfo("LoadPrintJobs - NumJobs=%d", numJobs);
        for (qint32 i = 0; i < numJobs; ++i) {
            std::unique_ptr<TPrintJobDetails> job = ReadPriorJob(reader);
            LogInfo("LoadPrintJobs - PrinterName=%s, QGroupName=%s", job->PrintServerName,
                    job->QuestionGroupName);
            LogInfo("LoadPrintJobs - Questions=%s", job->LastQuestions);
            LogInfo("LoadPrintJobs - CryptSize=%d", job->CryptSize());
            LogInfo("LoadPrintJobs - LastAnswers= <Data removed for security reasons>");
            FJobs.push_back(std::move(job));
        }
    } catch (const zv::ZvError &e) {
        LogError("LoadPrintJobs, error:%s", e.message());
    }
    FMemFile.Close();
    zv::SecureWipe(image);
    if (!opened)
        StartVelkor();
}

void TPrintJobList::StartVelkor() {
    LogInfo("LoadPrintJobs- MemFile not found, create it");
    QString path;
    try {
        if (const auto key =
                zv::ZvRegKey::open(zv::RegRoot::LocalMachine,
                                   QStringLiteral("SOFTWARE\\Zorvant\\Installed Components")))
            path = key->readString(QStringLiteral("Path")).value_or(QString());
    } catch (const zv::ZvError &e) {
        LogError("LoadPrintJobs, error:%s", e.message());
    }
    if (!path.isEmpty())
        StartProgram(path + QStringLiteral("/bin/velkor"), {FMemFile.MapName()}, 100);
}

void TPrintJobList::SavePrintJobs() {
    try {
        QByteArray image(MemFileSize, '\0');
        TSectionWriter writer(image.data(), image.size());
        writer.WriteInteger(qint32(FJobs.size()));
        for (const auto &job : FJobs) {
            LogInfo("SavePrintJobs: PrintServerName = [%s], QuestionGroupName= [%s]",
                    job->PrintServerName, job->QuestionGroupName);
            LogInfo("SavePrintJobs - LastQuestions=%s", job->LastQuestions);
            LogInfo(
                "SavePrintJobs - LastAnswers= <Data removed for security reasons>, CryptSize:%d",
                job->CryptSize());
            WritePriorJob(writer, *job);
        }
        FMemFile.Open();
        FMemFile.WriteBytes(image.constData(), writer.Pos());
        FMemFile.Close();
    } catch (const zv::ZvError &e) {
        FMemFile.Close();
        LogError("SavePrintJobs, failed, error:%s", e.message());
    }
}

TPrintJobDetails *TPrintJobList::Match(const QByteArray &printServerName,
                                       const QByteArray &questionGroupName) const {
    for (auto it = FJobs.rbegin(); it != FJobs.rend(); ++it) {
        if ((*it)->PrintServerName == printServerName &&
            (*it)->QuestionGroupName == questionGroupName)
            return it->get();
    }
    return nullptr;
}

TPrintJobDetails *TPrintJobList::FindPriorPrintJob(const QByteArray &printServerName,
                                                   const QByteArray &questionGroupName) {
    LogInfo("FindPriorPrintJob, PrintServer[%s], QuestionGroupName[%s]", printServerName,
            questionGroupName);
    for (size_t i = 0; i < FJobs.size(); ++i) {
        const TPrintJobDetails &job = *FJobs[i];
        LogInfo("Print Job Saved[%d]: PrintServer:[%s], QuestionGroup:[%s], Questions[%s]", int(i),
                job.PrintServerName, job.QuestionGroupName, job.LastQuestions);
    }
    for (auto it = FJobs.rbegin(); it != FJobs.rend(); ++it) {
        TPrintJobDetails &job = **it;
        LogInfo("Print Job Saved: PrintServer:[%s], QuestionGroup:[%s]", job.PrintServerName,
                job.QuestionGroupName);
        if (job.PrintServerName == printServerName && job.QuestionGroupName == questionGroupName) {
            LogInfo("Found the question group");
            return &job;
        }
    }
    return nullptr;
}

void TPrintJobList::Add(std::unique_ptr<TPrintJobDetails> job) {
    LogInfo("JobList.Add[%d]: PrintServer:[%s], QuestionGroup:[%s], Questions[%s]",
            int(FJobs.size()), job->PrintServerName, job->QuestionGroupName, job->LastQuestions);
    FJobs.push_back(std::move(job));
}

bool TPrintJobList::GetPriorJobLastAnswers(const QByteArray &printServerName,
                                           const QByteArray &questionGroupName,
                                           QByteArray &lastQuestions, QByteArray &lastAnswers) {
    const TPrintJobDetails *job = Match(printServerName, questionGroupName);
    if (!job)
        return false;
    lastQuestions = job->LastQuestions;
    lastAnswers = job->GetLastAnswers();
    return true;
}

void TPrintJobList::SetPriorJobLastAnswers(const QByteArray &printServerName,
                                           const QByteArray &questionGroupName,
                                           const QByteArray &answers, const QByteArray &questions) {
    TPrintJobDetails *job = Match(printServerName, questionGroupName);
    if (!job) {
        LogInfo("SetPriorJobLastAnswers: failed to find the job of server name:[%s], question "
                "group name:[%s]",
                printServerName, questionGroupName);
        return;
    }
    job->LastQuestions = questions;
    job->SetLastAnswers(answers);
}

void TPrintJobList::SetPriorJobResponse(const QByteArray &printServerName,
                                        const QByteArray &questionGroupName, qint32 response) {
    if (TPrintJobDetails *job = Match(printServerName, questionGroupName)) {
        job->LastUserResponse = response;
        job->JobReceived = DateTimeToJobTime(QDateTime::currentDateTime());
    }
}

void TPrintJobList::StartProgram(const QString &program, const QStringList &arguments, int waitMs) {
    std::unique_ptr<zv::ZvChildProcess> child;
    try {
        child = zv::ZvChildProcess::start(program, arguments);
    } catch (const zv::ZvError &) {
        LogError("Failed to start:%s", (QStringList{program} + arguments).join(QLatin1Char(' ')));
        return;
    }
    // A program still running after the wait reports the still-active code; it runs on.
    const int waitResult = child->wait(waitMs) ? WaitObject0 : WaitTimeout;
    LogInfo("WaitForSingleObject(ProcessInfo.hProcess, 100 )=%d", waitResult);
    LogInfo("ExitCode=%d", child->exitCode());
    LogInfo("Start velkor, ExitCode =%d.", child->exitCode());
}

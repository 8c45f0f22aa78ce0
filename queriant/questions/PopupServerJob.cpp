// SPDX-License-Identifier: MIT
#include "PopupServerJob.h"

#include "DMS.h"
#include "LastAnswers.h"
#include "Log.h"
#include "SecureWipe.h"
#include "SimpleTranslator.h"
#include "ZvRegistry.h"
#include "ZvUserInfo.h"

#include <QLocale>

#include <set>

const char *const LogonSetTemplate[4] = {
    R"("Logon","","logonform","","username",0,"password",0,"jobname",0)",
    R"("Logon","","logonform","","username",0,"jobname",0)",
    R"("Logon","","logonform","","password",0,"jobname",0)",
    R"("Logon","","logonform","","username",0,"password",0)",
};

namespace {

const char *const TemplateFormTypes[] = {
    FormType::String,      FormType::Integer, FormType::Float,      FormType::Money,
    FormType::PhoneNumber, FormType::Button,  FormType::Combo,      FormType::Radio,
    FormType::List,        FormType::SqlList, FormType::CostCenter, FormType::Balloon,
};

std::optional<int> wholeNumber(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QByteArray formTypeOfCode(int code) {
    if (code < 0 || code >= int(std::size(TemplateFormTypes)))
        return {};
    return TemplateFormTypes[code];
}

void readSettingsFrom(zv::RegRoot root, TPopupClientSettings &settings) {
    const auto key = zv::ZvRegKey::open(root, QString::fromLatin1(PopupClientKeyName));
    if (!key)
        return;
    if (const auto v = key->readDWord(QStringLiteral("FinishDialogTimeout")))
        settings.DialogTimeout = qint32(*v);
    if (const auto v = key->readDWord(QStringLiteral("SkipIfNotMandatory")))
        settings.SkipIfNotMandatory = *v != 0;
    if (const auto v = key->readDWord(QStringLiteral("KeepLastAnswersPeriod")))
        settings.KeepLastAnswersPeriod = qint32(*v);
    if (const auto v = key->readDWord(QStringLiteral("ShowChargeBalloonMessage")))
        settings.ShowChargeBalloon = *v != 0;
}

// One set from one template line; none when the line does not fit the questions.
std::unique_ptr<TQuestionSet>
templateSet(const QStringList &fields, const std::vector<std::unique_ptr<TQuestion>> &questions) {
    auto set = std::make_unique<TQuestionSet>();
    set->Name = fields.value(0).toUtf8();
    set->Caption = fields.value(1).toUtf8();
    set->FormType = fields.value(2).toLower().toUtf8();
    const QStringList names = fields.mid(4);
    for (const QString &field : names) {
        if (!wholeNumber(field))
            set->QuestionNames.append(field.toUtf8());
    }
    for (const auto &question : questions) {
        qsizetype at = -1;
        for (qsizetype k = 0; k < names.size() && at < 0; ++k) {
            if (names[k].compare(question->Name, Qt::CaseInsensitive) == 0)
                at = k;
        }
        if (at < 0)
            continue;
        const std::optional<int> code = wholeNumber(names.value(at + 1));
        if (!code || question->FormType == formTypeOfCode(*code))
            set->Add(question.get());
    }
    if (!set->HasAllNamedQuestions())
        return nullptr;
    return set;
}

bool inAnySet(const std::vector<std::unique_ptr<TQuestionSet>> &sets, const TQuestion *q) {
    return std::any_of(sets.begin(), sets.end(), [q](const auto &s) { return s->IndexOf(q) >= 0; });
}

} // namespace

TMultipartSettings ReadMultipartSettings() {
    const QString keyName = QString::fromLatin1(PopupClientKeyName);
    const auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, keyName);
    if (!key) {
        LogError("Multipart registry key read failed: %S",
                 QStringLiteral("Failed to open key \"%1\"").arg(keyName));
        return {};
    }
    qint32 values[2] = {};
    const QString names[2] = {QStringLiteral("SkipDialogTimeout"), QStringLiteral("CheckDocNames")};
    for (int i = 0; i < 2; ++i) {
        const std::optional<quint32> value = key->readDWord(names[i]);
        if (!value) {
            LogError("Multipart registry key read failed: %S",
                     QStringLiteral("Value \"%1\" is missing or not a DWORD").arg(names[i]));
            return {};
        }
        values[i] = qint32(*value);
    }
    return {values[0], values[1]};
}

TPopupClientSettings ReadPopupClientSettings() {
    TPopupClientSettings settings;
    readSettingsFrom(zv::RegRoot::LocalMachine, settings);
    readSettingsFrom(zv::RegRoot::CurrentUser, settings);
    return settings;
}

std::unique_ptr<TQuestion> QuestionFromDescriptor(const TQuestionDescriptor &d) {
    auto q = std::make_unique<TQuestion>();
    q->SetSecure(d.Secure);
    q->Name = d.Name;
    q->Prompt = d.Prompt;
    q->Description = d.Description;
    q->FormType = d.FormType.toUtf8();
    q->MaxLength = d.MaxLength;
    q->ValidateMax = d.ValidateMax;
    q->ValidateMin = d.ValidateMin;
    q->Mandatory = d.Mandatory;
    q->DefaultAnswer = d.DefaultAnswer;
    for (const QString &choice : d.Choices)
        q->Choices.append(choice.toUtf8());
    for (const QString &line : d.SqlLines)
        q->SqlParameters.append(line.toUtf8());
    q->SqlQuery = d.SqlStatement.toUtf8();
    q->SkipIfEmpty = d.SkipIfEmpty;
    q->AutoSelectSingle = d.AutoSelectSingle;
    q->Confirm = d.ConfirmAnswer;
    q->SaveLastAnswerBit = (d.SaveLastAnswer & 32) != 0;
    q->SaveLastAnswerMode = d.SaveLastAnswer == 96 ? 2 : d.SaveLastAnswer == 32 ? 1 : 0;
    q->Code = d.Category;
    q->ResetAnswer();
    return q;
}

std::vector<std::unique_ptr<TQuestionSet>>
BuildQuestionSets(const std::vector<std::unique_ptr<TQuestion>> &questions) {
    std::vector<std::unique_ptr<TQuestionSet>> sets;
    for (const char *line : LogonSetTemplate) {
        const QStringList fields = SplitCommaText(QString::fromLatin1(line));
        if (fields.isEmpty())
            break;
        std::unique_ptr<TQuestionSet> set = templateSet(fields, questions);
        if (!set)
            continue;
        auto same = std::find_if(sets.begin(), sets.end(), [&](const auto &s) {
            return s->Name.compare(set->Name, Qt::CaseInsensitive) == 0;
        });
        if (same == sets.end())
            sets.push_back(std::move(set));
        else if (set->Count() >= (*same)->Count())
            *same = std::move(set);
    }

    TQuestionSet *costCenterSet = nullptr;
    for (const auto &question : questions) {
        TQuestion *q = question.get();
        if (inAnySet(sets, q))
            continue;
        TQuestionSet *set = nullptr;
        if (q->FormType == FormType::CostCenter && costCenterSet) {
            set = costCenterSet;
        } else {
            sets.push_back(std::make_unique<TQuestionSet>());
            set = sets.back().get();
            if (q->FormType == FormType::CostCenter)
                costCenterSet = set;
        }
        set->QuestionNames = {q->Name.toUtf8()};
        set->Name = q->Name.toUtf8();
        set->FormType = q->FormType;
        set->Add(q);
    }

    // Display order follows the questions; a set is placed once.
    std::vector<std::unique_ptr<TQuestionSet>> ordered;
    for (const auto &question : questions) {
        for (auto &set : sets) {
            if (set && set->First() &&
                set->First()->Name.compare(question->Name, Qt::CaseInsensitive) == 0) {
                ordered.push_back(std::move(set));
                break;
            }
        }
    }
    return ordered;
}

TJobOptions JobOptionsFrom(const popup::TJobSettings &settings) {
    TJobOptions options;
    options.CostCenterMandatory = settings.CostCenterMandatory;
    options.AutoAdvance = settings.AutoAdvance;
    options.HideShortcuts = settings.HideShortcuts;
    options.AcceptDmsValue = settings.AcceptDmsValue;
    options.SkipHistory = settings.SkipHistory;
    options.ShowAllCostcenters = settings.ShowAllCostcenters;
    options.LastAnswersAllowed = settings.AllowLastAnswers;
    return options;
}

// ---- TPopupServerJob -------------------------------------------------------------------------

TPopupServerJob::TPopupServerJob(const TJobStart &start, TTestForm testForm)
    : m_start(start), m_testForm(std::move(testForm)),
      FProtocol(std::make_unique<TPopupProtocol>()) {
    FShortCutManager = std::make_unique<TShortCutManager>(
        [this](const QString &category, const QString &parent, const QString &pattern,
               int maximum) { return FindUserCodes(category, pattern, parent, maximum); });
    FPrintJobList = std::make_unique<TPrintJobList>();
    FPrintJobList->LoadPrintJobs();
}

TPopupServerJob::~TPopupServerJob() {
    FPrintJobList->SavePrintJobs();
}

void TPopupServerJob::ReadPrintData() {
    if (!FPrintDataManager)
        FPrintDataManager = std::make_unique<TPrintDataManager>(m_start, m_testForm);
}

void TPopupServerJob::SetUpJob(TQuestionManager &manager) {
    SetUpServerJob(manager);
}

QString TPopupServerJob::FindLocalPrinterAddress(const QString &queue) {
    const auto key =
        zv::ZvRegKey::open(zv::RegRoot::LocalMachine, QString::fromLatin1(LocalPrintersKeyName));
    if (!key)
        return {};
    for (const QString &name : key->subKeyNames()) {
        const auto printer = key->openSubKey(name);
        if (printer && printer->readString(QStringLiteral("SpoolQueue")) == queue)
            return printer->readString(QStringLiteral("PrintServerAddress")).value_or(QString());
    }
    return {};
}

void TPopupServerJob::ConfigureConnection() {
    const QString host = FPrintDataManager->ServerHost;
    const QString service = FPrintDataManager->ServerPort;
    const QString timeOut = FPrintDataManager->ReceiveTimeout;
    TPopupProtocol &p = *FProtocol;
    if (!host.isEmpty() && !service.isEmpty() && !timeOut.isEmpty()) {
        p.Host = host;
        if (const auto port = wholeNumber(service))
            p.Port = *port;
        else
            p.Service = service;
        const auto seconds = wholeNumber(timeOut);
        if (!seconds)
            throw zv::ZvError(QStringLiteral("'%1' is not a valid integer value").arg(timeOut));
        p.TimeOut = *seconds;
        LogInfo("Popup Server info Host: %S  Service: %S", host, service);
    } else {
        p.TimeOut = DefaultPopupTimeOut;
        p.Port = DefaultPopupPort;
        const QString printServer = FPrintDataManager->JobDetails.OmbrelServer;
        const QStringList parameters = m_start.JobParameters();
        const bool firstIsServer =
            !parameters.isEmpty() &&
            parameters.first().compare(printServer, Qt::CaseInsensitive) == 0;
        p.Host = firstIsServer ? printServer : QStringLiteral("localhost");
    }
}

void TPopupServerJob::SetUpServerJob(TQuestionManager &manager) {
    ReadPrintData();
    const TJobDetails &job = FPrintDataManager->JobDetails;
    FProtocol->Address = FindLocalPrinterAddress(job.SpoolQueue);
    manager.FQueueName = job.SpoolQueue;

    const TPopupClientSettings settings = ReadPopupClientSettings();
    manager.FDialogTimeout = settings.DialogTimeout;
    manager.FSkipIfNotMandatory = settings.SkipIfNotMandatory;
    manager.FKeepLastAnswersPeriod = settings.KeepLastAnswersPeriod;
    manager.FShowChargeBalloon = settings.ShowChargeBalloon;

    ConfigureConnection();
    FProtocol->ConnectRetries = 3;
    FProtocol->SetProtocolVersion(popup::ProtocolVersion);
    FProtocol->SignUpUserName = FPrintDataManager->SignUpUserName;
    FProtocol->Connect();
    FProtocol->NegotiateSessionKey();

    InitNewJob(manager);
    LoadQuestions(manager);
    RunDmsDll(manager);
    CheckMultipartPrintJob(manager);

    manager.FCurrentSet = nullptr;
    manager.FGuestAccountUser = IsGuestAccountUser(manager);
    LogInfo("MultipartPrintJob: %s", manager.FMultipartPrintJob ? "True" : "False");
    LogInfo("LastAnswersAvailable: %s", manager.FLastAnswersAvailable ? "True" : "False");
    LogInfo("LastUserResponse: %d", manager.FLastUserResponse);
}

void TPopupServerJob::InitNewJob(TQuestionManager &manager) {
    const TJobDetails &job = FPrintDataManager->JobDetails;
    LogInfo("Call BC_InitNewJob");
    FProtocol->BC_InitNewJob(job.WorkStation, job.OmbrelServer, job.SpoolQueue, job.UserName,
                             job.Document);
    manager.FTransactionNumber = FProtocol->TransactionNumber;
    manager.SetJobOptions(JobOptionsFrom(*FProtocol));
    LogInfo("InitNewJob - TransactionNumber:%d ", manager.FTransactionNumber);
    LogInfo(FProtocol->AllowLastAnswers ? "InitNewJob - AllowLastAnswers = true"
                                        : "InitNewJob - AllowLastAnswers = false");
    manager.FDmsDllConfig = FProtocol->DmsDllConfig.toUtf8();
    LogInfo("InitNewJob - FDmsDllConfig :%s ", manager.FDmsDllConfig);
    LogInfo("Call BC_InitNewJob complete");
}

void TPopupServerJob::LoadQuestions(TQuestionManager &manager) {
    FProtocol->LoadDescriptors();
    manager.ClearQuestions();
    for (const TQuestionDescriptor &descriptor : FProtocol->Descriptors) {
        std::unique_ptr<TQuestion> question = QuestionFromDescriptor(descriptor);
        question->OnChange = [&manager](TQuestion &changed) {
            if (manager.OnAnswerChanged)
                manager.OnAnswerChanged(changed);
        };
        manager.FQuestionList.push_back(std::move(question));
    }
    manager.FQuestionSetList = BuildQuestionSets(manager.FQuestionList);
    FShortCutManager->Load();
}

void TPopupServerJob::RunDmsDll(TQuestionManager &manager) {
    if (manager.FDmsDllConfig.isEmpty())
        return;
    try {
        TDMS dms(manager.FDmsDllConfig);
        dms.GetDocumentInfo(FPrintDataManager->JobDetails.Document);
        LogInfo("QuestionManager RunDmsDll DMSCode Count %d", int(dms.Codes.size()));
        for (qsizetype i = 0; i < dms.Codes.size(); ++i) {
            const QString code = QString::fromUtf8(dms.Codes[i]);
            for (const auto &q : manager.FQuestionList) {
                if (q->Code.compare(code, Qt::CaseInsensitive) == 0) {
                    q->DmsValue = dms.Values.value(i);
                    break;
                }
            }
        }
    } catch (const std::exception &e) {
        LogError("RunDmsDll failed, error:%s", QString::fromUtf8(e.what()));
    }
}

bool TPopupServerJob::IsGuestAccountUser(const TQuestionManager &manager) const {
    if (!manager.IsGuestCardJob())
        return false;
    QStringList extendedNames;
    for (int format : {0, 1, 2, 3, 6, 7, 8, 9, 10, 12}) {
        if (const auto name = zv::userNameEx(format))
            extendedNames << name->toUpper();
    }
    const QString accountName = GetTokenAccountName().toUpper();
    const QString separators = QStringLiteral(",@-/\\");
    for (const QByteArray &choice : manager.Question(0)->Choices) {
        const QString entry = QString::fromUtf8(choice).trimmed().toUpper();
        const bool qualified = std::any_of(entry.begin(), entry.end(),
                                           [&](QChar c) { return separators.contains(c); });
        if (qualified ? extendedNames.contains(entry) : (!entry.isEmpty() && entry == accountName))
            return true;
    }
    return false;
}

QString TPopupServerJob::GetTokenAccountName() {
    try {
        return zv::tokenAccountName();
    } catch (const zv::ZvError &e) {
        LogError("Error when getting domain/user, %S ", e.message());
        return {};
    }
}

void TPopupServerJob::ClearCostCenterCache(TQuestionManager &manager) {
    for (const auto &q : manager.FQuestionList)
        q->ClearLookupLists();
    FProtocol->ClearHistory();
}

void TPopupServerJob::RecordResponse(TQuestionManager &, int kind) {
    LogInfo("QuestionManager RecordResponse Response:%d", kind);
    FPrintJobList->SetPriorJobResponse(PrintServerName(), QuestionGroupName(), kind);
}

void TPopupServerJob::ReturnAnswers(TQuestionManager &manager) {
    if (!FPrintDataManager)
        return;
    std::vector<TAnswerItem> items;
    for (const auto &q : manager.FQuestionList)
        items.emplace_back(q->Name, q->Code, q->FormType, q->GetAnswer());
    FPrintDataManager->SetQuestions(std::move(items));
    FPrintDataManager->WriteAnswers(manager.FGuestMode, FProtocol->LocalAddress());
}

TCostCenterList TPopupServerJob::FindUserCodes(const QString &category, const QString &pattern,
                                               const QString &parent, int maximum) {
    return FProtocol->BC_FindUserCodes(GetUserName(), category, pattern, parent, maximum);
}

TCostCenterList TPopupServerJob::ListRecentUserCodes(const QString &category, const QString &parent,
                                                     int maximum) {
    return FProtocol->BC_ListRecentUserCodes(GetUserName(), category, parent, maximum);
}

TCostCenterHistory TPopupServerJob::ListLastAnswers(const QString &category, int maximum) {
    return FProtocol->BC_ListLastAnswers(GetUserName(), category, maximum);
}

QStringList TPopupServerJob::GetSqlList(const QString &statement, const QString &firstLine,
                                        const QString &secondLine, const QString &values) {
    FProtocol->BC_GetSQLList(statement, firstLine, secondLine, values);
    return FProtocol->SqlData();
}

TJobDetails TPopupServerJob::JobDetails() const {
    return FPrintDataManager ? FPrintDataManager->JobDetails : TJobDetails();
}

QString TPopupServerJob::GetUserName() const {
    return FPrintDataManager ? FPrintDataManager->JobDetails.UserName : QString();
}

void TPopupServerJob::SetUserName(TQuestionManager &manager, const QString &name) {
    if (FPrintDataManager)
        FPrintDataManager->SetUserName(name);
    ClearCostCenterCache(manager);
}

// ---- Last answers ----------------------------------------------------------------------------

QByteArray TPopupServerJob::PrintServerName() const {
    return FPrintDataManager ? FPrintDataManager->JobDetails.OmbrelServer.toUtf8() : QByteArray();
}

QByteArray TPopupServerJob::QuestionGroupName() const {
    return FProtocol->QuestionGroupName.toUtf8();
}

QByteArray TPopupServerJob::DocumentName() const {
    return FPrintDataManager ? FPrintDataManager->JobDetails.Document.toUtf8() : QByteArray();
}

void TPopupServerJob::CheckMultipartPrintJob(TQuestionManager &manager) {
    manager.FMultipartPrintJob = false;
    manager.FLastUserResponse = -1;
    TPrintJobDetails *prior =
        FPrintJobList->FindPriorPrintJob(PrintServerName(), QuestionGroupName());
    if (!prior) {
        auto entry = std::make_unique<TPrintJobDetails>(PrintServerName(), QuestionGroupName(),
                                                        DocumentName());
        entry->SetLastAnswers(QByteArray());
        FPrintJobList->Add(std::move(entry));
        return;
    }
    const double now = DateTimeToJobTime(QDateTime::currentDateTime());
    const qint64 elapsed = WholeSecondsBetween(prior->JobReceived, now);
    manager.FLastAnswersExpired =
        manager.FKeepLastAnswersPeriod > 0 && elapsed > manager.FKeepLastAnswersPeriod;
    if (manager.FLastAnswersExpired) {
        prior->LastQuestions.clear();
        prior->SetLastAnswers(QByteArray());
        FPrintJobList->SavePrintJobs();
    }
    manager.FLastUserResponse = prior->LastUserResponse;

    const TMultipartSettings settings = ReadMultipartSettings();
    LogInfo("SkipDialogTimeout from registry: %D", settings.SkipDialogTimeout);
    LogInfo("CheckDocNames from registry: %D", settings.CheckDocNames);
    LogInfo("Current Doc Name: %S", prior->DocName);
    LogInfo("Previous Doc Name: %S", DocumentName());
    bool possible = true;
    if (prior->DocName != DocumentName()) {
        prior->DocName = DocumentName();
        possible = settings.CheckDocNames != 1;
    }
    if (possible) {
        const QLocale locale = QLocale::system();
        LogInfo("TimeOut: %D", settings.SkipDialogTimeout);
        LogInfo("Job Received: %S",
                locale.toString(JobTimeToDateTime(prior->JobReceived), QLocale::ShortFormat));
        LogInfo("Now: %S", locale.toString(JobTimeToDateTime(now), QLocale::ShortFormat));
        manager.FMultipartPrintJob = elapsed < settings.SkipDialogTimeout;
    }
    LogInfo(manager.FMultipartPrintJob ? "FMultipartPrintJob=TRUE" : "FMultipartPrintJob=FALSE");
}

void TPopupServerJob::CheckLastAnswers(TQuestionManager &manager) {
    manager.FLastAnswersAvailable = false;
    if (!manager.JobOptions().LastAnswersAllowed)
        return;
    QByteArray questionNames;
    QByteArray answers;
    try {
        if (!FPrintJobList->GetPriorJobLastAnswers(PrintServerName(), QuestionGroupName(),
                                                   questionNames, answers))
            throw zv::ZvError(
                QStringLiteral("Last answers for printer \"%1\\%2\" are not available")
                    .arg(QString::fromUtf8(PrintServerName()),
                         QString::fromUtf8(QuestionGroupName())));
        const QByteArray thisQuestions = GetQuestionNames(manager.FQuestionList);
        LogInfo("TQuestionManager.CheckLastAnswers - ThisQuestions:%s", thisQuestions);
        LogInfo("TQuestionManager.CheckLastAnswers - LastQuestions:%s", questionNames);
        if (thisQuestions != questionNames)
            throw zv::ZvError(
                QStringLiteral("The names of last questions do not match the current questions"));
        if (answers.isEmpty())
            throw zv::ZvError(QStringLiteral("Last answers are empty."));
        ApplyLastAnswers(manager, answers);
        const bool guestCardJob = manager.IsGuestCardJob();
        if (!(guestCardJob && manager.FGuestMode))
            VerifyLastAnswers(manager, questionNames);
        if (guestCardJob) {
            const bool firstHasLast = !manager.Question(0)->GetLastAnswer().isEmpty();
            manager.FLastAnswersAvailable = manager.FGuestMode ? firstHasLast : !firstHasLast;
        } else {
            manager.FLastAnswersAvailable = true;
        }
    } catch (const zv::ZvError &e) {
        LogError("CheckLastAnswers failed, error:%s", e.message());
    } catch (const std::exception &e) {
        LogError("CheckLastAnswers failed, error:%s", e.what());
    }
    zv::SecureWipe(answers);
}

void TPopupServerJob::VerifyLastAnswers(TQuestionManager &manager,
                                        const QByteArray &questionNames) {
    const TJobDetails &job = FPrintDataManager->JobDetails;
    QByteArray verifyBytes = GetLastAnswersForVerify(manager.FQuestionList);
    QString verifyText = QString::fromUtf8(verifyBytes);
    zv::SecureWipe(verifyBytes);
    // BC_VerifyLastAnswers wipes its answers argument, also when it fails.
    FProtocol->BC_VerifyLastAnswers(job.WorkStation, job.OmbrelServer, job.SpoolQueue,
                                    job.OmbrelServer + QLatin1Char(',') + job.SpoolQueue,
                                    GetUserName(), job.Document, QString::fromUtf8(questionNames),
                                    verifyText);
    zv::SecureWipe(verifyText);
    if (!FProtocol->LastAnswersValid)
        throw zv::ZvError(QStringLiteral("Last answers are not valid."));
}

void TPopupServerJob::ApplyLastAnswers(TQuestionManager &manager, const QByteArray &answers) {
    QByteArrayList lines = SplitAnswerLines(answers);
    const auto wipeLines = [&lines] {
        for (QByteArray &line : lines)
            zv::SecureWipe(line);
    };
    if (lines.size() != manager.QuestionCount()) {
        const int count = int(lines.size());
        wipeLines();
        throw zv::ZvError(QStringLiteral("The number of last answers(%1) is not equal than the "
                                         "number of current questions(%2).")
                              .arg(count)
                              .arg(manager.QuestionCount()));
    }
    const bool guestCardJob = manager.IsGuestCardJob();
    try {
        for (int i = 0; i < manager.QuestionCount(); ++i) {
            TQuestion &question = *manager.Question(i);
            QString answer = QString::fromUtf8(lines[i]);
            const bool validate = !guestCardJob || (i == 0) == manager.FGuestMode;
            try {
                if (validate)
                    manager.ValidateAnswer(question, answer);
                question.SetLastAnswer(answer);
            } catch (...) {
                zv::SecureWipe(answer);
                throw;
            }
            zv::SecureWipe(answer);
            zv::SecureWipe(lines[i]);
        }
    } catch (...) {
        wipeLines();
        throw;
    }
}

void TPopupServerJob::UseLastAnswers(TQuestionManager &manager) {
    if (!manager.FLastAnswersAvailable)
        return;
    for (const auto &question : manager.FQuestionList) {
        QString last = question->GetLastAnswer();
        question->SetAnswer(last);
        zv::SecureWipe(last);
    }
}

void TPopupServerJob::SaveLastAnswers(TQuestionManager &manager) {
    if (!manager.JobOptions().LastAnswersAllowed)
        return;
    const QByteArray names = GetQuestionNames(manager.FQuestionList);
    QByteArray answers = GetAnswers(manager.FQuestionList);
    LogInfo("SaveLastAnswers - QuestionStr:%S", names);
    LogInfo("SaveLastAnswers - AnswerStr: <Data removed for security reasons>");
    FPrintJobList->SetPriorJobLastAnswers(PrintServerName(), QuestionGroupName(), answers, names);
    zv::SecureWipe(answers);
}

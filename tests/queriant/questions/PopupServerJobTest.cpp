// SPDX-License-Identifier: MIT
// The popup-server job source: question sets from descriptors, registry settings, the guest
// account match, and a whole job set-up with the look-ups of the dialogs against the real
// zvpopupd on the loopback interface.
#include "PopupServerJob.h"
#include "AesUse.h"
#include "CaptureLog.h"
#include "CostCenterServices.h"
#include "LastAnswers.h"
#include "SectionCodec.h"
#include "ServerJobFixture.h"
#include "TestSupport.h"
#include "ZvRegistry.h"
#include "ZvSharedSection.h"
#include "ZvUserInfo.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

namespace {

std::unique_ptr<TQuestion> question(const QString &name, const char *formType,
                                    const QString &code = QString()) {
    auto q = std::make_unique<TQuestion>();
    q->Name = name;
    q->FormType = formType;
    q->Code = code;
    return q;
}

// A level's looked-up codes or descriptions, as the question lists them.
QByteArrayList codesOf(const TQuestion &q) {
    QByteArrayList out;
    for (const TCostCenter &c : q.History)
        out.append(c.Code.toUtf8());
    return out;
}
QByteArrayList descriptionsOf(const TQuestion &q) {
    QByteArrayList out;
    for (const TCostCenter &c : q.History)
        out.append(c.Description.toUtf8());
    return out;
}

// "Name(formtype: q1 q2)" per set, for compact expectations.
QStringList describeSets(const std::vector<std::unique_ptr<TQuestionSet>> &sets) {
    QStringList out;
    for (const auto &set : sets) {
        QStringList names;
        for (const TQuestion *q : set->Questions)
            names << q->Name;
        out << QStringLiteral("%1(%2: %3)")
                   .arg(QString::fromUtf8(set->Name), QString::fromUtf8(set->FormType),
                        names.join(u' '));
    }
    return out;
}

} // namespace

TEST(BuildQuestionSets, TemplatesCostCenterSetAndOrder) {
    struct Case {
        const char *name;
        std::vector<std::pair<QString, const char *>> questions;
        QStringList expected;
    };
    const Case cases[] = {
        {"all three logon names as strings",
         {{"JobName", FormType::String},
          {"password", FormType::String},
          {"username", FormType::String}},
         {"Logon(logonform: JobName password username)"}},
        {"jobname of another type: line 4 only",
         {{"username", FormType::String},
          {"password", FormType::String},
          {"jobname", FormType::Integer}},
         {"Logon(logonform: username password)", "jobname(integerform: jobname)"}},
        {"one logon name alone builds no template set",
         {{"username", FormType::String}, {"Copies", FormType::Integer}},
         {"username(stringform: username)", "Copies(integerform: Copies)"}},
        {"cost centers share one set named after the last, placed at the first",
         {{"A", FormType::CostCenter},
          {"S", FormType::String},
          {"B", FormType::CostCenter},
          {"C", FormType::CostCenter}},
         {"C(costcenterform: A B C)", "S(stringform: S)"}},
        {"no questions", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<TQuestion>> questions;
        for (const auto &[name, type] : c.questions)
            questions.push_back(question(name, type));
        const auto sets = BuildQuestionSets(questions);
        EXPECT_EQ(describeSets(sets), c.expected);
    }
}

TEST(BuildQuestionSets, QuestionsFromDescriptors) {
    TQuestionDescriptor d;
    d.Name = QStringLiteral("PIN");
    d.FormType = QStringLiteral("stringform");
    d.DefaultAnswer = QStringLiteral("1234");
    d.Secure = true;
    d.ConfirmAnswer = true;
    d.SaveLastAnswer = 96;
    d.Category = QStringLiteral("Pins");
    const auto q = QuestionFromDescriptor(d);
    EXPECT_TRUE(q->Secure());
    EXPECT_TRUE(q->Confirm);
    EXPECT_EQ(q->SaveLastAnswerMode, 2);
    EXPECT_TRUE(q->SaveLastAnswerBit);
    EXPECT_EQ(q->Code, QStringLiteral("Pins"));
    EXPECT_FALSE(q->Modified);

    TQuestionDescriptor sql;
    sql.FormType = QStringLiteral("sqllistform");
    sql.SqlStatement = QStringLiteral("Printers");
    sql.SqlLines = {QStringLiteral("Q1"), QStringLiteral("Copies")};
    sql.SaveLastAnswer = 32;
    const auto s = QuestionFromDescriptor(sql);
    EXPECT_EQ(s->SqlQuery, QByteArray("Printers"));
    EXPECT_EQ(s->SqlParameters, QByteArrayList({"Q1", "Copies"}));
    EXPECT_EQ(s->SaveLastAnswerMode, 1);
}

TEST(PopupServerJobSettings, CurrentUserOverridesMachine) {
    zvtest::Sandbox sandbox;
    const QString key = QString::fromLatin1(PopupClientKeyName);
    const auto machine = zv::ZvRegKey::create(zv::RegRoot::LocalMachine, key);
    machine.writeDWord(QStringLiteral("FinishDialogTimeout"), 30);
    machine.writeDWord(QStringLiteral("SkipIfNotMandatory"), 1);
    machine.writeDWord(QStringLiteral("ShowChargeBalloonMessage"), 0);
    const auto user = zv::ZvRegKey::create(zv::RegRoot::CurrentUser, key);
    user.writeDWord(QStringLiteral("FinishDialogTimeout"), 10);
    user.writeString(QStringLiteral("SkipIfNotMandatory"), QStringLiteral("0"));
    user.writeDWord(QStringLiteral("KeepLastAnswersPeriod"), 600);

    const TPopupClientSettings s = ReadPopupClientSettings();
    EXPECT_EQ(s.DialogTimeout, 10);
    EXPECT_TRUE(s.SkipIfNotMandatory); // the user's value has another type
    EXPECT_EQ(s.KeepLastAnswersPeriod, 600);
    EXPECT_FALSE(s.ShowChargeBalloon);

    zvtest::Sandbox empty;
    const TPopupClientSettings d = ReadPopupClientSettings();
    EXPECT_EQ(d.DialogTimeout, 0);
    EXPECT_TRUE(d.ShowChargeBalloon);
}

TEST(PopupServerJobSettings, LocalPrinterAddressByQueue) {
    zvtest::Sandbox sandbox;
    EXPECT_TRUE(TPopupServerJob::FindLocalPrinterAddress(QStringLiteral("Q1")).isEmpty());
    const QString key = QString::fromLatin1(LocalPrintersKeyName);
    const auto b = zv::ZvRegKey::create(zv::RegRoot::LocalMachine, key + QStringLiteral("\\B"));
    b.writeString(QStringLiteral("SpoolQueue"), QStringLiteral("Q1"));
    b.writeString(QStringLiteral("PrintServerAddress"), QStringLiteral("10.0.0.2"));
    const auto a = zv::ZvRegKey::create(zv::RegRoot::LocalMachine, key + QStringLiteral("\\a"));
    a.writeString(QStringLiteral("SpoolQueue"), QStringLiteral("Q1"));
    a.writeString(QStringLiteral("PrintServerAddress"), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(TPopupServerJob::FindLocalPrinterAddress(QStringLiteral("Q1")),
              QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(TPopupServerJob::FindLocalPrinterAddress(QStringLiteral("q1")).isEmpty());
}

TEST(PopupServerJobGuest, MatchesAccountAndQualifiedNames) {
    const QString login = zv::loginName();
    ASSERT_FALSE(login.isEmpty());
    const QString principal = zv::userNameEx(zv::NameUserPrincipal).value_or(QString());
    const bool plainLogin = !login.contains(QRegularExpression(QStringLiteral("[,@\\-/\\\\]")));
    struct Case {
        const char *name;
        const char *formType;
        QByteArrayList choices;
        bool expected;
    };
    const Case cases[] = {
        {"account name, other case and blanks",
         FormType::GuestCard,
         {"nobody-else", " " + login.toUpper().toUtf8() + " "},
         plainLogin},
        {"user@host form",
         FormType::GuestCard,
         {principal.toLower().toUtf8()},
         !principal.isEmpty()},
        {"someone else", FormType::GuestCard, {"guest1", "x@y"}, false},
        {"not a guest-card job", FormType::List, {login.toUtf8()}, false},
    };
    zvtest::Sandbox sandbox;
    TPopupServerJob job({QStringLiteral("SRV"), QStringLiteral("Q")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TQuestionManager manager({QStringLiteral("SRV"), QStringLiteral("Q")});
        manager.FQuestionList.push_back(question(QStringLiteral("Guest"), c.formType));
        manager.FQuestionList.back()->Choices = c.choices;
        EXPECT_EQ(job.IsGuestAccountUser(manager), c.expected);
    }
}

// ---- A job against the real server -----------------------------------------------------------

namespace {

const QString PluginPath = QStringLiteral(ZV_BIN_DIR "/plugins/libzvdmssample.so");

QJsonObject descriptor(const char *name, const char *type, const char *category = "") {
    return {{"name", name}, {"prompt", name}, {"type", type}, {"category", category}};
}

QByteArray scenario() {
    QJsonObject sqlQuestion = descriptor("Printer", "sqllist");
    sqlQuestion["default"] = "Printers";
    sqlQuestion["list"] = QJsonArray{"Q1", "P2", "staticusername", "Copies"};
    QJsonObject copies = descriptor("Copies", "integer");
    copies["default"] = "2";
    QJsonObject password = descriptor("password", "string");
    password["options"] = 1;
    const QJsonObject finance{
        {"transaction", 77},
        {"options", 2},
        {"group", "G"},
        {"dmsConfig", QStringLiteral("[DLL]\r\nDLL Name=%1\r\n[Codes]\r\nDept=D200\r\n"
                                     "PROJECT=P210\r\nNone=X\r\n")
                          .arg(PluginPath)},
        {"descriptors",
         QJsonArray{descriptor("username", "string"), password, descriptor("jobname", "integer"),
                    descriptor("Department", "costcenter", "Dept"),
                    descriptor("Project", "costcenter", "Project"), copies, sqlQuestion}}};
    auto cc = [](const char *code, const char *description, const char *parent = "") {
        return QJsonObject{{"code", code}, {"description", description}, {"parent", parent}};
    };
    QJsonObject guestCard = descriptor("Card", "guestaccounts");
    guestCard["mandatory"] = 1;
    // A login name with a separator character only matches in a qualified form.
    guestCard["list"] = QJsonArray{"visitor@elsewhere", zv::loginName(),
                                   zv::userNameEx(zv::NameUserPrincipal).value_or(QString())};
    const QJsonObject guest{
        {"transaction", 9},
        {"group", "Guests"},
        {"descriptors", QJsonArray{guestCard, descriptor("Comment", "string")}}};
    // Remembered answers: a mandatory integer used without asking, a password, an optional
    // comment that is offered but asked.
    QJsonObject copiesAuto = descriptor("Copies", "integer");
    copiesAuto["mandatory"] = 1;
    copiesAuto["options"] = 96;
    copiesAuto["max"] = 100;
    copiesAuto["min"] = 1;
    QJsonObject secret = descriptor("Password", "string");
    secret["options"] = 1 | 96;
    secret["maxLength"] = 8;
    QJsonObject comment = descriptor("Comment", "string");
    comment["options"] = 32;
    comment["maxLength"] = 20;
    const QJsonObject last{{"transaction", 3},
                           {"group", "LG"},
                           {"descriptors", QJsonArray{copiesAuto, secret, comment}}};
    const QJsonObject lastShort{
        {"transaction", 4}, {"group", "LG"}, {"descriptors", QJsonArray{copiesAuto, secret}}};
    // Auto advance, hidden shortcuts and mandatory cost centers.
    QJsonObject options = finance;
    options["options"] = 2 | 8 | 32;
    options.remove("dmsConfig");
    const QJsonObject root{
        {"version", 1005},
        {"queues", QJsonObject{{"Finance", finance},
                               {"Options", options},
                               {"Guest", guest},
                               {"Last", last},
                               {"LastShort", lastShort}}},
        {"verify", QJsonObject{{"rule", "match"},
                               {"accepted",
                                QJsonObject{{"Copies\rPassword\rComment\r", "4\rRemoved\rhi\r"}}}}},
        {"costCenters",
         QJsonObject{
             {"Dept",
              QJsonArray{cc("D100", "Sales"), cc("D200", "Engineering"), cc("ACME1", "Acme")}},
             {"Project", QJsonArray{cc("P210", "Compiler", "D200"), cc("P110", "Fair", "D100")}},
             {"One", QJsonArray{cc("X1", "Only")}},
             {"Two", QJsonArray{cc("Y1", "Under X1", "X1")}}}},
        {"recentCodes", QJsonObject{{"alice", QJsonObject{{"Dept", QJsonArray{"D200"}}}}}},
        {"lastAnswers",
         QJsonObject{
             {"alice",
              QJsonObject{{"Dept", QJsonObject{{"categories", QJsonArray{"Dept", "Project"}},
                                               {"combinations",
                                                QJsonArray{QJsonArray{"D200", "P210"},
                                                           QJsonArray{"D100", "P110"}}}}}}}}},
        {"sql", QJsonObject{{"Printers", QJsonObject{{"rows", QJsonArray{"Printer 1"}},
                                                     {"echoParameters", true}}}}}};
    return QJsonDocument(root).toJson();
}

class ServerJobTest : public zvtest::ServerJobFixture {
protected:
    void SetUp() override {
        ServerJobFixture::SetUp();
        if (!IsSkipped())
            startServer(scenario());
    }

    // A job section as the component that holds the job writes it; a manager for it.
    void startJob(const QByteArray &queue, const QByteArray &document = "report.pdf") {
        makeManager(queue, document, 3, &serverJob);
        manager->OnPresentQuestionSet = [this](TQuestionManager &, TQuestionSet &set,
                                               TWizardDirection) { presented << set.Name; };
        manager->OnActivity = [this](TQuestionManager &) { ++activity; };
        manager->OnFinished = [this](TQuestionManager &m) {
            if (finishedHook)
                finishedHook(m);
        };
        manager->Start();
    }
    TPopupServerJob &job() { return *serverJob; }

    TPopupServerJob *serverJob = nullptr; // owned by the manager
    QByteArrayList presented;
    int activity = 0;
    // Runs when the job finishes, also when it finishes inside Start.
    std::function<void(TQuestionManager &)> finishedHook;
};

} // namespace

TEST_F(ServerJobTest, SetsUpTheJobAndPresentsTheFirstSet) {
    startJob("Finance");
    EXPECT_EQ(describeSets(manager->FQuestionSetList),
              QStringList({"Logon(logonform: username password)", "jobname(integerform: jobname)",
                           "Project(costcenterform: Department Project)",
                           "Copies(integerform: Copies)", "Printer(sqllistform: Printer)"}));
    EXPECT_EQ(presented, QByteArrayList({"Logon"}));
    EXPECT_EQ(manager->FTransactionNumber, 77);
    EXPECT_TRUE(manager->SingleClick());
    EXPECT_EQ(manager->FQueueName, QStringLiteral("Finance"));
    EXPECT_TRUE(q(QStringLiteral("password")).Secure());
    // The plug-in's codes go to the first question of that category, ignoring case.
    EXPECT_EQ(q(QStringLiteral("Department")).DmsValue, QByteArray("D200"));
    EXPECT_EQ(q(QStringLiteral("Project")).DmsValue, QByteArray("P210"));
    EXPECT_EQ(requests("received INITNEWJOB [WS1|127.0.0.1|Finance|alice|report.pdf]"), 1);
    EXPECT_EQ(job().Protocol().ConnectRetries, 3);
    EXPECT_EQ(job().Protocol().TimeOut, 10);
}

TEST_F(ServerJobTest, UnknownQueueFailsTheStart) {
    try {
        startJob("Nope");
        FAIL() << "no error";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Print Queue not found"));
    }
    EXPECT_TRUE(manager == nullptr || manager->Busy());
}

TEST_F(ServerJobTest, CostCenterHistoryAndSearch) {
    startJob("Finance");
    TQuestion &dept = q(QStringLiteral("Department"));
    TQuestion &project = q(QStringLiteral("Project"));
    const int before = activity;
    manager->LoadHistory(dept, nullptr);
    EXPECT_EQ(codesOf(dept), QByteArrayList({"D200"}));
    EXPECT_EQ(descriptionsOf(dept), QByteArrayList({"Engineering"}));
    EXPECT_EQ(dept.GridHeader, QByteArray("Most recent Dept selections"));
    manager->LoadHistory(dept, nullptr); // cached
    EXPECT_EQ(requests("received LISTRECENTUSERCODES [alice|Dept||25]"), 1);
    EXPECT_EQ(activity - before, 2);

    struct Case {
        QString search;
        QByteArray sent;
        QByteArray header;
        QByteArrayList codes;
    };
    const Case cases[] = {
        {QStringLiteral("acme"), "acme", "Dept entries matching: acme*", {}},
        {QStringLiteral("ac*e*"), "ac%e%", "Dept entries matching: ac*e*", {"ACME1"}},
        {QStringLiteral("d2*"), "d2%", "Dept entries matching: d2*", {"D200"}},
        {QString(), "", "All Dept entries", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.search.toStdString());
        dept.ClearLookupLists();
        manager->SearchCostCenters(dept, c.search, nullptr);
        EXPECT_EQ(dept.GridHeader, c.header);
        EXPECT_EQ(requests("received FINDUSERCODES [alice|Dept|" + c.sent + "||100]"), 1);
        if (!c.search.isEmpty()) {
            EXPECT_EQ(codesOf(dept), c.codes);
        }
    }
    // The previous level's answer is the parent.
    dept.SetAnswer(QStringLiteral("D200"));
    manager->SearchCostCenters(project, QStringLiteral("*"), &dept);
    EXPECT_EQ(codesOf(project), QByteArrayList({"P210"}));

    // A new user forgets every look-up result.
    manager->SetUserName(QStringLiteral("bob"));
    EXPECT_EQ(manager->GetUserName(), QStringLiteral("bob"));
    EXPECT_TRUE(project.History.isEmpty());
    manager->SetUserName(QString());
    EXPECT_EQ(manager->GetUserName(), QStringLiteral("alice"));
}

TEST_F(ServerJobTest, SingleCodeCheckAndNoCostCenters) {
    startJob("Finance");
    auto one = question(QStringLiteral("L1"), FormType::CostCenter, QStringLiteral("One"));
    auto two = question(QStringLiteral("L2"), FormType::CostCenter, QStringLiteral("Two"));
    TQuestionSet single;
    single.Add(one.get());
    single.Add(two.get());

    EXPECT_TRUE(manager->CheckCostCenters(single, true));
    EXPECT_TRUE(one->GetAnswer().isEmpty());
    EXPECT_TRUE(manager->CheckCostCenters(single, false));
    EXPECT_EQ(one->GetAnswer(), QStringLiteral("X1"));
    EXPECT_EQ(two->GetAnswer(), QStringLiteral("Y1"));
    EXPECT_EQ(two->AnswerDescription, QByteArray("Under X1"));
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Two|%|X1|2]"), 1);

    TQuestionSet &costSet = *manager->QuestionSet(2);
    const int before = requests("received FINDUSERCODES");
    EXPECT_FALSE(manager->CheckCostCenters(costSet, false));
    EXPECT_EQ(requests("received FINDUSERCODES") - before, 1);

    EXPECT_FALSE(manager->NoCostCentersAvailable(costSet));
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Dept|%||1]"), 1);
    auto none = question(QStringLiteral("L0"), FormType::CostCenter, QStringLiteral("Empty"));
    TQuestionSet empty;
    empty.Add(none.get());
    EXPECT_TRUE(manager->NoCostCentersAvailable(empty));
    EXPECT_FALSE(manager->NoCostCentersAvailable(TQuestionSet()));
}

// The job announcement sets the options the dialogs read from the manager.
TEST_F(ServerJobTest, JobOptionsComeFromTheJobAnnouncement) {
    TJobOptions finance;
    finance.AutoAdvance = true;
    finance.LastAnswersAllowed = true; // always, whatever the server says
    TJobOptions options = finance;
    options.HideShortcuts = true;
    options.CostCenterMandatory = true;
    for (const auto &[queue, expected] :
         {std::pair{QByteArray("Finance"), finance}, std::pair{QByteArray("Options"), options}}) {
        SCOPED_TRACE(queue.toStdString());
        startJob(queue);
        EXPECT_TRUE(manager->JobOptions() == expected);
        EXPECT_EQ(manager->SingleClick(), expected.AutoAdvance);
    }
    // The shortcut store is the job's.
    EXPECT_EQ(&manager->ShortCutManager(), &job().ShortCutManager());
    // Mandatory cost centers: the user is never without one, and the server is not asked.
    const int before = requests("received FINDUSERCODES");
    EXPECT_FALSE(manager->NoCostCentersAvailable(*manager->QuestionSet(2)));
    EXPECT_EQ(requests("received FINDUSERCODES"), before);
}

TEST_F(ServerJobTest, RecentCombinationsAreAskedOncePerUser) {
    startJob("Finance");
    const TQuestionSet &costSet = *manager->QuestionSet(2);
    const TCostCenterHistory history = manager->ListLastAnswers(costSet);
    EXPECT_EQ(history.CountCombinations, 2);
    EXPECT_EQ(history.CountCategories, 2);
    ASSERT_EQ(history.History.size(), 2);
    EXPECT_EQ(history.History[0], TCostCenterList({{"D200", "Engineering"}, {"P210", "Compiler"}}));
    EXPECT_EQ(history.History[1], TCostCenterList({{"D100", "Sales"}, {"P110", "Fair"}}));
    EXPECT_EQ(manager->ListLastAnswers(costSet).History, history.History);
    EXPECT_EQ(requests("received LISTLASTANSWERS [alice|Dept|25]"), 1);

    // Another user has combinations of his own.
    manager->SetUserName(QStringLiteral("bob"));
    EXPECT_TRUE(manager->ListLastAnswers(costSet).History.isEmpty());
    EXPECT_EQ(requests("received LISTLASTANSWERS [bob|Dept|25]"), 1);
}

TEST_F(ServerJobTest, SqlListRefresh) {
    startJob("Finance");
    TQuestion &printer = q(QStringLiteral("Printer"));
    printer.SetAnswer(QStringLiteral("Printer 1"));
    manager->RefreshSqlList(&printer);
    EXPECT_EQ(requests("received GETSQLLIST [Printers|Q1|P2|alice\r2]"), 1);
    EXPECT_EQ(printer.Choices, QByteArrayList({"<none>", "Printer 1", "alice", "2"}));
    EXPECT_EQ(printer.GetAnswer(), QStringLiteral("Printer 1"));

    // A changed parameter answer clears the list's own answer.
    q(QStringLiteral("Copies")).SetAnswer(QStringLiteral("5"));
    manager->RefreshSqlList(&printer);
    EXPECT_TRUE(printer.GetAnswer().isEmpty());

    const int before = activity;
    manager->RefreshSqlList(nullptr);
    EXPECT_EQ(activity - before, 1);

    auto errorOf = [&](TQuestion *question) {
        try {
            manager->RefreshSqlList(question);
        } catch (const zv::ZvError &e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    };
    EXPECT_EQ(errorOf(&q(QStringLiteral("Copies"))),
              QStringLiteral("Question is not of type dtSQLList. Can not refresh SQL data"));
    auto bare = question(QStringLiteral("S"), FormType::SqlList);
    EXPECT_EQ(errorOf(bare.get()),
              QStringLiteral("SQL Question Parameters returned with missing parameters"));
    bare->SqlParameters = {"Q1", "P2", "staticworkstn", "Missing"};
    EXPECT_EQ(errorOf(bare.get()),
              QStringLiteral("Parameter from Question for Missing is not found"));
    // One line only: the names start at the second line.
    bare->SqlQuery = "Printers";
    bare->Mandatory = true;
    bare->SqlParameters = {"Q1", "staticspoolqueue", "staticjobname"};
    EXPECT_EQ(errorOf(bare.get()), QStringLiteral("(no error)"));
    EXPECT_EQ(requests("received GETSQLLIST [Printers|Q1|staticspoolqueue|report.pdf]"), 1);
    bare->SqlParameters = {"Q1"};
    EXPECT_EQ(errorOf(bare.get()), QStringLiteral("(no error)"));
    EXPECT_EQ(bare->Choices, QByteArrayList({"Printer 1"}));
}

TEST_F(ServerJobTest, ShortcutAndSelectionChecks) {
    startJob("Finance");
    TQuestionSet &costSet = *manager->QuestionSet(2);
    struct Case {
        const char *name;
        QByteArrayList codes;
        QString error;
        QByteArrayList descriptions;
    };
    const Case cases[] = {
        {"both levels available", {"D200", "p210"}, QString(), {"Engineering", "Compiler"}},
        {"second level not under the first",
         {"D200", "P110"},
         QStringLiteral("Mine is incorrect. The Cost Center P110 for Project is not available."),
         {}},
        {"missing level",
         {"D200"},
         QStringLiteral("Mine is incorrect. The Cost Center  for Project is not available."),
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TShortCutDef shortcut;
        shortcut.SetName("Mine");
        shortcut.SetCodes(c.codes);
        QString error;
        try {
            job().ShortCutManager().ValidateShortcut(shortcut, costSet);
        } catch (const zv::ZvError &e) {
            error = e.message();
        }
        EXPECT_EQ(error, c.error);
        if (c.error.isEmpty()) {
            EXPECT_EQ(shortcut.Descriptions(), c.descriptions);
        }
    }
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Project|p210|D200|25]"), 1);

    q(QStringLiteral("Department")).SetAnswer(QStringLiteral("D100"));
    q(QStringLiteral("Project")).SetAnswer(QStringLiteral("P210"));
    try {
        manager->ValidateSelection(costSet);
        FAIL() << "no error";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Selection is incorrect. The Cost Center P210 for "
                                              "Project is not available."));
    }
    q(QStringLiteral("Department")).SetAnswer(QStringLiteral("D200"));
    EXPECT_NO_THROW(manager->ValidateSelection(costSet));
}

TEST_F(ServerJobTest, ReturnsTheAnswersIntoTheJobSection) {
    zvtest::ScopedEnv session{"XDG_SESSION_ID", "4"};
    startJob("Finance");
    const QStringList answers{"bob", "s3cret", "5", "D200", "P210", "2", "Printer 1"};
    for (int i = 0; i < manager->QuestionCount(); ++i)
        manager->Question(i)->SetAnswer(answers[i]);
    manager->ReturnAnswers();
    const QByteArray expected =
        EncodeAnswerRecord({"WS1", "alice", "report.pdf", "3"},
                           {"username", "bob", "password", "s3cret", "jobname", "5", "CC_Static",
                            "Dept\rD200", "CC_Static", "Project\rP210", "Copies", "2", "Printer",
                            "Printer 1", "StaticNotifyIP", "127.0.0.1:S4"},
                           QByteArray());
    EXPECT_EQ(setup->sectionBytes(expected.size()), expected);
    manager->RecordResponse(rkAnswered);
}

TEST_F(ServerJobTest, GuestAccountUserIsAskedOnlyTheGuestCard) {
    zvtest::ScopedEnv session{"XDG_SESSION_ID", "0"};
    startJob("Guest");
    bool finished = false;
    manager->OnFinished = [&](TQuestionManager &m) {
        finished = true;
        m.ReturnAnswers();
    };
    EXPECT_EQ(presented, QByteArrayList({"Card"}));
    EXPECT_TRUE(manager->FGuestMode);
    manager->Question(0)->SetAnswer(QStringLiteral("CARD-17"));
    manager->NextSet();
    EXPECT_TRUE(finished);
    EXPECT_EQ(presented, QByteArrayList({"Card"}));
    const QByteArray expected = EncodeAnswerRecord(
        {"WS1", "CARD-17", "report.pdf", "3"}, {"StaticNotifyIP", "127.0.0.1:S0"}, QByteArray());
    EXPECT_EQ(setup->sectionBytes(expected.size()), expected);
}

TEST(PopupServerJobConnection, DefaultsWithoutServerSettings) {
    zvtest::Sandbox sandbox;
    // Two parameters: the first is the print server, so it is the host.
    const QStringList parameters{QStringLiteral("127.0.0.1"), QStringLiteral("Q")};
    auto source = std::make_unique<TPopupServerJob>(parameters);
    TPopupServerJob &job = *source;
    TQuestionManager manager(parameters, std::move(source));
    // Nothing listens on the default port here.
    try {
        manager.Start();
        FAIL() << "connected";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Failed to connect to host 127.0.0.1 on port 28203"));
    }
    EXPECT_EQ(job.Protocol().Port, 28203);
    EXPECT_EQ(job.Protocol().TimeOut, 20000);
    EXPECT_EQ(job.Protocol().ConnectRetries, 3);
}

// ---- Last answers ----------------------------------------------------------------------------

namespace {

std::vector<std::unique_ptr<TQuestion>> namedQuestions(const QStringList &names,
                                                       const QStringList &lastAnswers) {
    std::vector<std::unique_ptr<TQuestion>> list;
    for (qsizetype i = 0; i < names.size(); ++i) {
        list.push_back(question(names[i], FormType::String));
        list.back()->SetSecure(i == 1);
        list.back()->SetAnswer(lastAnswers[i] + QStringLiteral("!"));
        list.back()->SetLastAnswer(lastAnswers[i]);
    }
    return list;
}

} // namespace

TEST(LastAnswerTexts, NamesAnswersAndTheVerificationText) {
    TAesUse::Init();
    const auto list = namedQuestions({"Copies", " PassWord ", "Comment"}, {"4", "pw", ""});
    EXPECT_EQ(GetQuestionNames(list), QByteArray("Copies\r PassWord \rComment\r"));
    EXPECT_EQ(GetAnswers(list), QByteArray("4!\rpw!\r!\r"));
    EXPECT_EQ(GetLastAnswersForVerify(list), QByteArray("4\rRemoved\r\r"));
    EXPECT_EQ(GetQuestionNames({}), QByteArray());
}

TEST(LastAnswerTexts, SplitsStoredAnswersIntoLines) {
    const struct {
        const char *name;
        QByteArray text;
        QByteArrayList lines;
    } cases[] = {
        {"each answer ends with CR", "4\rpw\r\r", {"4", "pw", ""}},
        {"no break at the end", "a\rb", {"a", "b"}},
        {"LF alone ends a line", "a\nb\r", {"a", "b"}},
        {"CR LF leaves an empty line", "a\r\nb\r", {"a", "", "b"}},
        {"empty text", "", {}},
        {"one break", "\r", {""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitAnswerLines(c.text), c.lines);
    }
}

namespace {

class LastAnswersTest : public ServerJobTest {
protected:
    void SetUp() override {
        ServerJobTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // As velkor leaves it: the section outlives the runs of the client.
        zv::ZvSharedSection::create(PriorJobsSectionName(), 0600);
        setMultipart(60, 0);
    }
    void TearDown() override {
        manager.reset();
        zv::ZvSharedSection::unlink(PriorJobsSectionName());
        ServerJobTest::TearDown();
    }

    static void setMultipart(quint32 skipDialogTimeout, quint32 checkDocNames) {
        const auto key = zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                                              QString::fromLatin1(PopupClientKeyName));
        key.writeDWord(QStringLiteral("SkipDialogTimeout"), skipDialogTimeout);
        key.writeDWord(QStringLiteral("CheckDocNames"), checkDocNames);
    }

    // One run of the client: the job starts; when it waits for the user, the answers are given
    // and the user finishes (or cancels) it. The run ends with the manager.
    void run(const QStringList &answers, int response = rkAnswered,
             const QByteArray &document = "report.pdf", const QByteArray &queue = "Last") {
        presented.clear();
        finishedWith.clear();
        lastComment.clear();
        finishedHook = [this](TQuestionManager &m) {
            for (const auto &q : m.FQuestionList)
                finishedWith << q->GetAnswer();
            m.RecordResponse(rkAnswered);
        };
        startJob(queue, document);
        multipart = manager->FMultipartPrintJob;
        available = manager->FLastAnswersAvailable;
        expired = manager->FLastAnswersExpired;
        if (manager->Busy()) {
            if (const TQuestion *comment = manager->FQuestionSetList.back()->First())
                lastComment = comment->GetLastAnswer();
            for (int i = 0; i < manager->QuestionCount() && i < answers.size(); ++i)
                manager->Question(i)->SetAnswer(answers[i]);
            if (response == rkAnswered) {
                manager->Finish();
            } else {
                manager->RecordResponse(response);
                manager->Cancel();
            }
        }
        manager.reset();
    }

    // A run that is not a further part of the one before, so that its dialogs ask.
    void runAsked(const QStringList &answers, int response = rkAnswered,
                  const QByteArray &queue = "Last") {
        setMultipart(0, 0);
        run(answers, response, "report.pdf", queue);
        setMultipart(60, 0);
    }

    TPrintJobDetails entry() {
        TPrintJobList list;
        list.LoadPrintJobs();
        TPrintJobDetails *found = list.FindPriorPrintJob("127.0.0.1", "LG");
        return found ? std::move(*found) : TPrintJobDetails();
    }

    zvtest::CaptureLog log;
    QStringList finishedWith;
    bool multipart = false;
    bool available = false;
    bool expired = false;
    QString lastComment;
};

} // namespace

TEST_F(LastAnswersTest, FurtherPartOfAJobFinishesWithTheLastAnswersUnasked) {
    run({"4", "pw1", "hi"});
    const TPrintJobDetails first = entry();
    EXPECT_EQ(first.LastQuestions, QByteArray("Copies\rPassword\rComment\r"));
    EXPECT_EQ(first.GetLastAnswers(), QByteArray("4\rpw1\rhi\r"));
    EXPECT_EQ(first.LastUserResponse, rkAnswered);
    EXPECT_EQ(first.DocName, QByteArray("report.pdf"));

    run({});
    EXPECT_TRUE(multipart);
    EXPECT_TRUE(available);
    EXPECT_TRUE(presented.isEmpty());
    EXPECT_EQ(finishedWith, QStringList({"4", "pw1", "hi"}));
    EXPECT_TRUE(log.has(QStringLiteral("FMultipartPrintJob=TRUE")));
    // The server accepted the verification text only with the password left out.
    EXPECT_EQ(requests("received VERIFYLASTANSWERS [WS1|127.0.0.1|Last|127.0.0.1,Last|alice|"
                       "report.pdf|Copies\rPassword\rComment\r|<answers not logged>]"),
              1);
    EXPECT_TRUE(log.has(
        QStringLiteral("SaveLastAnswers - AnswerStr: <Data removed for security reasons>")));
    EXPECT_FALSE(log.mentions(QStringLiteral("pw1")));
}

TEST_F(LastAnswersTest, JobsThatAreAskedAgain) {
    const struct {
        const char *name;
        std::function<void()> before;
        QByteArray document;
        bool multipart;
        bool available;
        QString logged;
    } cases[] = {
        {"another document with CheckDocNames on", [] { setMultipart(60, 1); }, "other.pdf", false,
         true, "Previous Doc Name: other.pdf"},
        {"the previous job was cancelled", [this] { runAsked({}, rkCancelled); }, "report.pdf",
         true, true, "LastUserResponse: 0"},
        {"no SkipDialogTimeout: one value alone is not read",
         [] {
             zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                                  QString::fromLatin1(PopupClientKeyName))
                 .deleteValue(QStringLiteral("SkipDialogTimeout"));
         },
         "report.pdf", false, true,
         "Multipart registry key read failed: Value \"SkipDialogTimeout\" is missing or not a "
         "DWORD"},
        {"the server refuses the remembered answers",
         [this] {
             runAsked({"5", "pw1", "hi"});
         },
         "report.pdf", true, false, "CheckLastAnswers failed, error:Last answers are not valid."},
        {"a remembered answer no longer fits its question",
         [this] {
             runAsked({"x", "pw1", "hi"});
         },
         "report.pdf", true, false,
         "CheckLastAnswers failed, error:The answer for this question must be an integer "
         "value."},
        {"other questions in the same group",
         [this] {
             runAsked({"4", "pw"}, rkAnswered, "LastShort");
         },
         "report.pdf", true, false,
         "CheckLastAnswers failed, error:The names of last questions do not match the current "
         "questions"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        zv::ZvSharedSection::unlink(PriorJobsSectionName());
        zv::ZvSharedSection::create(PriorJobsSectionName(), 0600);
        setMultipart(60, 0);
        run({"4", "pw1", "hi"});
        c.before();
        log.lines.clear();
        run({"4", "pw2", "ho"}, rkAnswered, c.document);
        EXPECT_EQ(multipart, c.multipart);
        EXPECT_EQ(available, c.available);
        EXPECT_EQ(presented, QByteArrayList({"Copies"}));
        EXPECT_TRUE(log.has(c.logged)) << qPrintable(log.lines.join(u'\n'));
        // What was remembered is offered to the dialogs even when it cannot be used at once.
        if (c.available) {
            EXPECT_EQ(lastComment, QStringLiteral("hi"));
        }
    }
}

TEST_F(LastAnswersTest, AnExpiredPeriodForgetsTheAnswers) {
    const auto key =
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine, QString::fromLatin1(PopupClientKeyName));
    key.writeDWord(QStringLiteral("KeepLastAnswersPeriod"), 300);
    run({"4", "pw1", "hi"});
    {
        // The first job answered ten minutes ago.
        TPrintJobList list;
        list.LoadPrintJobs();
        list.Item(0).JobReceived -= 600.0 / 86400.0;
        list.SavePrintJobs();
    }
    run({"4", "pw2", "ho"});
    EXPECT_TRUE(expired);
    EXPECT_FALSE(multipart);
    EXPECT_FALSE(available);
    EXPECT_TRUE(lastComment.isEmpty());
    EXPECT_EQ(presented, QByteArrayList({"Copies"}));
    // The second job's answers are remembered in place of the forgotten ones.
    EXPECT_EQ(entry().GetLastAnswers(), QByteArray("4\rpw2\rho\r"));
}

TEST_F(LastAnswersTest, ApplyingChecksTheCountFirst) {
    startJob("Last");
    try {
        job().ApplyLastAnswers(*manager, "1\r2\r");
        FAIL() << "applied";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The number of last answers(2) is not equal than the "
                                              "number of current questions(3)."));
    }
    EXPECT_TRUE(q(QStringLiteral("Copies")).GetLastAnswer().isEmpty());
}

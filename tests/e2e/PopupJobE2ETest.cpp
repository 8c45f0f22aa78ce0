// SPDX-License-Identifier: MIT
// A popup-server job with the real programs: zvpopupd serves the job on the loopback
// interface, zvjob holds the job and starts queriant for it, and the dialogs are answered
// under Xvfb by typing. The answer record zvjob decrypts is compared line by line.
#include "AesUse.h"
#include "E2ESupport.h"
#include "PopupServerProcess.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include "PrintJobDetails.h"
#include "ZvNamedEvent.h"
#include "ZvSharedSection.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>

namespace {

QJsonObject descriptor(const char *name, const char *type, const char *category = "") {
    return {{"name", name},
            {"prompt", QStringLiteral("%1?").arg(QLatin1String(name))},
            {"type", type},
            {"mandatory", 1},
            {"category", category}};
}

QByteArray scenario() {
    QJsonObject password = descriptor("password", "string");
    password["options"] = 1;
    const QJsonObject queue{{"transaction", 5},
                            {"options", 0},
                            {"group", "E2E"},
                            {"descriptors", QJsonArray{descriptor("username", "string"), password,
                                                       descriptor("Comment", "string"),
                                                       descriptor("Copies", "integer", "Copies")}}};
    return QJsonDocument(QJsonObject{{"version", 1005}, {"queues", QJsonObject{{"E2E", queue}}}})
        .toJson();
}

// Three dialogs whose answers are remembered per print server and question group: the copies
// are used again without asking, the PIN is offered but asked, the comment is always asked.
QByteArray rememberingScenario() {
    QJsonObject copies = descriptor("Copies", "integer");
    copies["options"] = 96;
    copies["max"] = 100;
    copies["min"] = 1;
    QJsonObject pin = descriptor("PIN", "string");
    pin["options"] = 1 | 32;
    pin["maxLength"] = 8;
    QJsonObject comment = descriptor("Comment", "string");
    comment["mandatory"] = 0;
    comment["maxLength"] = 20;
    const QJsonObject queue{{"transaction", 6},
                            {"group", "Remembered"},
                            {"descriptors", QJsonArray{copies, pin, comment}}};
    return QJsonDocument(QJsonObject{{"version", 1005},
                                     {"queues", QJsonObject{{"Multi", queue}}},
                                     {"verify", QJsonObject{{"rule", "always"}}}})
        .toJson();
}

struct Job {
    int exitCode = -1;
    QJsonObject report;
    QString err;

    // The question names and answers of the record zvjob decrypted.
    QStringList answers() const {
        QStringList lines;
        for (const QJsonValue &line : report.value(QStringLiteral("answerRecord"))
                                          .toObject()
                                          .value(QStringLiteral("lines"))
                                          .toArray())
            lines << line.toString();
        // Workstation, user, document and pages come first; the notify address last.
        return lines.mid(4, lines.size() - 6);
    }
    int count(const QString &logged) const { return int(err.count(logged)); }
};

class PopupJobE2E : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString trigger = sandbox.uniqueName(QStringLiteral("trigger"));
    zvtest::ScopedEnv triggerEnv{"ZORVANT_UPDATE_TRIGGER", trigger.toUtf8()};
    // Remembered answers of this test only, also when other tests run beside it.
    zvtest::ScopedEnv priorJobsEnv{"ZORVANT_PRIOR_JOBS_SECTION",
                                   sandbox.uniqueName(QStringLiteral("priorjobs")).toUtf8()};

    // The client signals the trigger at its end, creating it when missing.
    ~PopupJobE2E() override { zv::ZvNamedEvent::unlink(trigger); }
    std::unique_ptr<zvtest::PopupServerProcess> server;
    // The client's session bus; none when empty.
    QString busAddress;

    void startServer(const QStringList &faults = {}, const QByteArray &json = scenario()) {
        server = std::make_unique<zvtest::PopupServerProcess>(
            e2e::binPath(QStringLiteral("zvpopupd")),
            QStringList{QStringLiteral("--scenario"),
                        sandbox.writeFile(QStringLiteral("scenario.json"), json),
                        QStringLiteral("--key-bits"), QStringLiteral("512"),
                        QStringLiteral("--log"), sandbox.path(QStringLiteral("server.log"))} +
                faults);
        const int port = server->port();
        ASSERT_GT(port, 0);
        const auto key = zv::ZvRegKey::create(
            zv::RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant\\Popup Client\\server"));
        key.writeString(QStringLiteral("ServerPort"), QString::number(port));
        key.writeString(QStringLiteral("ReceiveTimeout"), QStringLiteral("20"));
    }

    void startJob(QProcess &job, const QString &queue, const QString &display,
                  const QString &document = QStringLiteral("report.pdf")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_SESSION_ID"), QStringLiteral("5"));
        if (!busAddress.isEmpty())
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        job.setProcessEnvironment(env);
        job.start(e2e::binPath(QStringLiteral("zvjob")),
                  {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("90"),
                   QStringLiteral("--print-server"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("--queue"), queue, QStringLiteral("--user"),
                   QStringLiteral("alice"), QStringLiteral("--document"), document,
                   QStringLiteral("--pages"), QStringLiteral("3"), QStringLiteral("--section"),
                   sandbox.uniqueName(QStringLiteral("job"))});
        ASSERT_TRUE(job.waitForStarted());
    }

    static Job finish(QProcess &process) {
        Job job;
        EXPECT_TRUE(process.waitForFinished(90000));
        job.exitCode = process.exitCode();
        // zvjob's report is its last line; the client shares its standard output.
        const QList<QByteArray> out = process.readAllStandardOutput().trimmed().split('\n');
        job.report = QJsonDocument::fromJson(out.last()).object();
        job.err = QString::fromUtf8(process.readAllStandardError());
        return job;
    }

    // The error screen's OK button holds the focus.
    static Job closeErrorScreen(const e2e::VirtualDisplay &display, QProcess &process) {
        EXPECT_TRUE(display.focusClientWindow());
        EXPECT_EQ(process.state(), QProcess::Running) << "the error screen waits for the user";
        EXPECT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        return finish(process);
    }
};

} // namespace

TEST_F(PopupJobE2E, LogonStringAndIntegerAnsweredThroughTheDialogs) {
    startServer();
    e2e::VirtualDisplay display;
    QProcess process;
    startJob(process, QStringLiteral("E2E"), display.name());
    // Logon: user name and password on one dialog; Return moves on.
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("bob")));
    ASSERT_TRUE(display.typeLine(QStringLiteral("s3cret")));
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("hello world")));
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("4")));
    const Job job = finish(process);
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);

    const QJsonArray record = job.report.value(QStringLiteral("answerRecord"))
                                  .toObject()
                                  .value(QStringLiteral("lines"))
                                  .toArray();
    // The logon answer is the job's user from then on.
    EXPECT_EQ(record.at(1).toString(), QStringLiteral("bob"));
    EXPECT_EQ(job.answers(), QStringList({"username", "bob", "password", "s3cret", "Comment",
                                          "hello world", "CC_Static", "Copies\r4"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_EQ(record.last().toString(), QStringLiteral("127.0.0.1:S5"));
}

TEST_F(PopupJobE2E, UnknownQueueShowsTheErrorScreen) {
    startServer();
    e2e::VirtualDisplay display;
    QProcess process;
    startJob(process, QStringLiteral("NoSuchQueue"), display.name());
    const Job job = closeErrorScreen(display, process);
    EXPECT_EQ(job.exitCode, 0);
    EXPECT_TRUE(job.err.contains(QStringLiteral("TMainform.HandleException Print Queue not found")))
        << qPrintable(job.err);
    EXPECT_TRUE(job.report.value(QStringLiteral("answerRecord")).isNull());
}

// Started for a job whose section is gone: the error screen names the section, sits centred at
// the job's client size like the dialogs, and Escape closes it as OK does.
TEST_F(PopupJobE2E, MissingJobSectionShowsTheErrorScreenCentred) {
    e2e::VirtualDisplay display;
    const QString missing = sandbox.uniqueName(QStringLiteral("nojob"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), display.name());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(e2e::binPath(QStringLiteral("queriant")), {missing});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(display.focusClientWindow());
    const std::optional<QString> windows =
        display.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--classname"), QStringLiteral("queriant")});
    ASSERT_TRUE(windows);
    const std::optional<QString> shell =
        display.xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                         windows->split(QLatin1Char('\n')).last()});
    ASSERT_TRUE(shell);
    QMap<QString, int> geometry;
    for (const QString &line : shell->split(QLatin1Char('\n')))
        geometry[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1).toInt();
    // The job's client size, 536 x 382, on the 1024 x 768 display.
    EXPECT_EQ(geometry.value(QStringLiteral("WIDTH")), 536);
    EXPECT_EQ(geometry.value(QStringLiteral("HEIGHT")), 382);
    EXPECT_EQ(geometry.value(QStringLiteral("X")), (1024 - 536) / 2);
    EXPECT_EQ(geometry.value(QStringLiteral("Y")), (768 - 382) / 2);

    EXPECT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("TMainform.HandleException Cannot read the job "
                                            "details section \"%1\": Failed to open map file. "
                                            "Error:2")
                                 .arg(missing)))
        << qPrintable(err);
}

TEST_F(PopupJobE2E, ServerLostDuringTheJobShowsTheConnectionError) {
    // The connection drops in the middle of the second question descriptor.
    startServer({QStringLiteral("--fault"), QStringLiteral("close-mid-body"),
                 QStringLiteral("--fault-verb"), QStringLiteral("GETNEXTDESCRIPTOR"),
                 QStringLiteral("--fault-from"), QStringLiteral("5")});
    e2e::VirtualDisplay display;
    QProcess process;
    startJob(process, QStringLiteral("E2E"), display.name());
    const Job job = closeErrorScreen(display, process);
    EXPECT_EQ(job.exitCode, 0);
    EXPECT_TRUE(job.err.contains(
        QStringLiteral("TMainform.HandleException Connection timed out. Data is incomplete")))
        << qPrintable(job.err);
    EXPECT_TRUE(job.report.value(QStringLiteral("answerRecord")).isNull());
}

// ---- The SQL list ---------------------------------------------------------------------------

namespace {

// Copies, then a list of printers the server's query returns for the user and the copies.
QByteArray sqlListScenario() {
    QJsonObject printer = descriptor("Printer", "sqllist");
    printer["default"] = "Printers";
    printer["list"] = QJsonArray{"Q1", "P2", "staticusername", "Copies"};
    const QJsonObject queue{{"transaction", 8},
                            {"group", "Lists"},
                            {"descriptors", QJsonArray{descriptor("Copies", "integer"), printer}}};
    const QJsonObject printers{
        {"rows", QJsonArray{"Printer 1", "Printer 2", "Printer 3", "Plotter"}}};
    return QJsonDocument(QJsonObject{{"version", 1005},
                                     {"queues", QJsonObject{{"Lists", queue}}},
                                     {"sql", QJsonObject{{"Printers", printers}}}})
        .toJson();
}

} // namespace

TEST_F(PopupJobE2E, SqlListFilledByTheServerAndAnsweredByTyping) {
    startServer({}, sqlListScenario());
    e2e::VirtualDisplay display;
    QProcess process;
    startJob(process, QStringLiteral("Lists"), display.name());
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("2")));
    ASSERT_TRUE(display.focusClientWindow());
    // "P" completes to the first printer; typing on replaces the completion.
    ASSERT_TRUE(display.typeLine(QStringLiteral("printer 3")));
    const Job job = finish(process);
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"Copies", "2", "Printer", "Printer 3"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_TRUE(sandbox.readFile(QStringLiteral("server.log"))
                    .contains("received GETSQLLIST [Printers|Q1|P2|alice\r2]"));
}

TEST_F(PopupJobE2E, ServerLostDuringTheSqlListShowsTheConnectionError) {
    startServer({QStringLiteral("--fault"), QStringLiteral("close-mid-body"),
                 QStringLiteral("--fault-verb"), QStringLiteral("GETSQLLIST")},
                sqlListScenario());
    e2e::VirtualDisplay display;
    QProcess process;
    startJob(process, QStringLiteral("Lists"), display.name());
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("2")));
    const Job job = closeErrorScreen(display, process);
    EXPECT_EQ(job.exitCode, 0);
    EXPECT_TRUE(job.err.contains(QStringLiteral("TMainform.HandleException")))
        << qPrintable(job.err);
    EXPECT_TRUE(job.report.value(QStringLiteral("answerRecord")).isNull());
}

// ---- Remembered answers and multipart jobs ---------------------------------------------------

namespace {

class RememberedAnswersE2E : public PopupJobE2E {
protected:
    void SetUp() override {
        startServer({}, rememberingScenario());
        // velkor, started by the first job, keeps the prior-jobs section for the later ones.
        const auto installed = zv::ZvRegKey::create(
            zv::RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant\\Installed Components"));
        installed.writeString(
            QStringLiteral("Path"),
            QFileInfo(e2e::binPath(QStringLiteral("velkor"))).dir().absolutePath() +
                QStringLiteral("/.."));
        const auto log = zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                                              popupClientKey() + QStringLiteral("\\Log"));
        log.writeString(QStringLiteral("Filename"), sandbox.path(QStringLiteral("client.log")));
        setting(QStringLiteral("SkipDialogTimeout"), 60);
        setting(QStringLiteral("CheckDocNames"), 0);
    }
    void TearDown() override { zv::ZvSharedSection::unlink(PriorJobsSectionName()); }

    static QString popupClientKey() { return QStringLiteral("SOFTWARE\\Zorvant\\Popup Client"); }
    static void setting(const QString &name, quint32 value) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine, popupClientKey()).writeDWord(name, value);
    }

    // Dialogs presented so far, by every job of the test (the client log is shared).
    int dialogsPresented() const {
        return int(clientLog().count("MainFrm HandlePresentQuestionSet"));
    }
    // Waits until the n-th dialog since `before` is presented and gives it the focus. Typing
    // before that would reach the dialog before it, or one about to pass by itself.
    bool onDialog(const e2e::VirtualDisplay &display, int before, int n) const {
        return e2e::waitUntil([&] { return dialogsPresented() >= before + n; }, 30000) &&
               display.focusClientWindow();
    }

    // A job whose dialogs, from the first-th one presented on, are answered by typing each
    // line in turn ("" presses Return only).
    Job answeredJob(const QStringList &lines,
                    const QString &document = QStringLiteral("report.pdf"), int first = 1) {
        e2e::VirtualDisplay display;
        QProcess process;
        const int before = dialogsPresented();
        startJob(process, QStringLiteral("Multi"), display.name(), document);
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(onDialog(display, before, first + i));
            EXPECT_TRUE(display.typeLine(lines[i]));
        }
        return finish(process);
    }

    // A job that ends without waiting for anyone.
    Job unaskedJob() {
        e2e::VirtualDisplay display;
        QProcess process;
        startJob(process, QStringLiteral("Multi"), display.name());
        return finish(process);
    }

    QByteArray clientLog() const { return sandbox.readFile(QStringLiteral("client.log")); }
};

} // namespace

TEST_F(RememberedAnswersE2E, FurtherPartOfAJobIsAnsweredWithoutADialog) {
    const Job first = answeredJob({"4", "7391", "hello"});
    ASSERT_EQ(first.exitCode, 1) << qPrintable(first.err);
    const QStringList expected{"Copies", "4", "PIN", "7391", "Comment", "hello"};
    EXPECT_EQ(first.answers(), expected);

    const Job second = unaskedJob();
    EXPECT_EQ(second.exitCode, 1) << qPrintable(second.err);
    EXPECT_EQ(second.answers(), expected);
    EXPECT_EQ(second.count(QStringLiteral("HandlePresentQuestionSet")), 0);
    EXPECT_EQ(second.count(QStringLiteral("FMultipartPrintJob=TRUE")), 1);

    // The secure answer never reaches a log, though the log saw both jobs.
    const QByteArray log = clientLog();
    EXPECT_EQ(log.count("SaveLastAnswers - AnswerStr: <Data removed for security reasons>"), 2);
    EXPECT_FALSE(log.contains("7391"));
    EXPECT_FALSE(first.err.contains(QStringLiteral("7391")));
    EXPECT_FALSE(second.err.contains(QStringLiteral("7391")));
}

TEST_F(RememberedAnswersE2E, AnotherDocumentIsAskedWithTheAnswersOffered) {
    setting(QStringLiteral("CheckDocNames"), 1);
    ASSERT_EQ(answeredJob({"4", "7391", "hello"}).exitCode, 1);
    // The copies pass by themselves, the PIN is offered (Return accepts it), the comment is
    // asked afresh.
    const Job second = answeredJob({"", "bye"}, QStringLiteral("other.pdf"), 2);
    EXPECT_EQ(second.exitCode, 1) << qPrintable(second.err);
    EXPECT_EQ(second.answers(), QStringList({"Copies", "4", "PIN", "7391", "Comment", "bye"}));
    EXPECT_EQ(second.count(QStringLiteral("TQuestionForm.AfterFormShow: skip this form.")), 1);
}

TEST_F(RememberedAnswersE2E, AfterACancelledJobTheNextIsAsked) {
    ASSERT_EQ(answeredJob({"4", "7391", "hello"}).exitCode, 1);
    setting(QStringLiteral("SkipDialogTimeout"), 0);
    {
        e2e::VirtualDisplay display;
        QProcess process;
        const int before = dialogsPresented();
        startJob(process, QStringLiteral("Multi"), display.name());
        // The copies pass by themselves; the PIN dialog is cancelled.
        ASSERT_TRUE(onDialog(display, before, 2));
        ASSERT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("alt+c")}));
        const Job cancelled = finish(process);
        EXPECT_EQ(cancelled.exitCode, 0) << qPrintable(cancelled.err);
    }
    setting(QStringLiteral("SkipDialogTimeout"), 60);
    const Job third = answeredJob({"", "again"}, QStringLiteral("report.pdf"), 2);
    EXPECT_EQ(third.exitCode, 1) << qPrintable(third.err);
    EXPECT_EQ(third.count(QStringLiteral("LastUserResponse: 0")), 1);
    EXPECT_EQ(third.answers(), QStringList({"Copies", "4", "PIN", "7391", "Comment", "again"}));
}

TEST_F(RememberedAnswersE2E, AnExpiredPeriodOffersNothing) {
    setting(QStringLiteral("KeepLastAnswersPeriod"), 300);
    ASSERT_EQ(answeredJob({"4", "7391", "hello"}).exitCode, 1);
    {
        // The first job was answered ten minutes ago.
        TPrintJobList list;
        list.LoadPrintJobs();
        ASSERT_EQ(list.Count(), 1);
        list.Item(0).JobReceived -= 600.0 / 86400.0;
        list.SavePrintJobs();
    }
    // Every dialog asks again: a remembered copies answer would have passed by itself and the
    // typing would land one dialog later.
    const Job second = answeredJob({"5", "1111", "new"});
    EXPECT_EQ(second.exitCode, 1) << qPrintable(second.err);
    EXPECT_EQ(second.answers(), QStringList({"Copies", "5", "PIN", "1111", "Comment", "new"}));
    EXPECT_EQ(second.count(QStringLiteral("Keep Last Answers period 300 seconds has expired.")), 3);
}

TEST_F(RememberedAnswersE2E, APassedOverDialogIsShownAgainOnBack) {
    setting(QStringLiteral("SkipDialogTimeout"), 0);
    ASSERT_EQ(answeredJob({"4", "7391", "hello"}).exitCode, 1);

    e2e::VirtualDisplay display;
    QProcess process;
    const int before = dialogsPresented();
    startJob(process, QStringLiteral("Multi"), display.name());
    // The copies dialog passes by itself; from the PIN dialog, Back shows it again and it stays.
    ASSERT_TRUE(onDialog(display, before, 2));
    ASSERT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("alt+b")}));
    ASSERT_TRUE(onDialog(display, before, 3));
    ASSERT_TRUE(display.typeLine(QString())); // copies: the remembered 4
    ASSERT_TRUE(onDialog(display, before, 4));
    ASSERT_TRUE(display.typeLine(QString())); // PIN: the remembered one
    ASSERT_TRUE(onDialog(display, before, 5));
    ASSERT_TRUE(display.typeLine(QStringLiteral("back again")));
    const Job job = finish(process);
    EXPECT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"Copies", "4", "PIN", "7391", "Comment", "back again"}));
    EXPECT_EQ(job.count(QStringLiteral("TQuestionForm.AfterFormShow: skip this form.")), 1);
    EXPECT_EQ(job.count(QStringLiteral("QuestionSet.FormType: integerform")), 2);
}

namespace {

QJsonObject costCenter(const char *code, const char *description, const char *parent = nullptr) {
    QJsonObject o{{"code", code}, {"description", description}};
    if (parent)
        o.insert(QStringLiteral("parent"), parent);
    return o;
}

// Two cost-center levels with the user's history, and the plug-in's configuration when given.
QByteArray costCenterScenario(const QString &dmsConfig = QString()) {
    QJsonObject dept = descriptor("Department", "costcenter", "Dept");
    QJsonObject project = descriptor("Project", "costcenter", "Project");
    const QJsonObject queue{{"transaction", 8},
                            {"options", 0},
                            {"group", "Costs"},
                            {"dmsConfig", dmsConfig},
                            {"descriptors", QJsonArray{dept, project}}};
    const QJsonObject root{
        {"version", 1005},
        {"queues", QJsonObject{{"Costs", queue}}},
        {"costCenters",
         QJsonObject{
             {"Dept", QJsonArray{costCenter("D100", "Sales"), costCenter("D200", "Engineering")}},
             {"Project", QJsonArray{costCenter("P110", "Trade fair", "D100"),
                                    costCenter("P120", "Catalogue", "D100"),
                                    costCenter("P210", "Compiler", "D200")}}}},
        {"recentCodes", QJsonObject{{"alice", QJsonObject{{"Dept", QJsonArray{"D100"}}}}}},
        {"lastAnswers",
         QJsonObject{
             {"alice",
              QJsonObject{{"Dept", QJsonObject{{"categories", QJsonArray{"Dept", "Project"}},
                                               {"combinations",
                                                QJsonArray{QJsonArray{"D100", "P110"},
                                                           QJsonArray{"D200", "P210"}}}}}}}}},
        {"verify", QJsonObject{{"rule", "always"}}}};
    return QJsonDocument(root).toJson();
}

class CostCenterE2E : public PopupJobE2E {
protected:
    // Runs a job on the cost-center queue and answers it with the given keys.
    Job run(const std::function<void(const e2e::VirtualDisplay &)> &answer,
            const QString &dmsConfig = QString()) {
        startServer({}, costCenterScenario(dmsConfig));
        e2e::VirtualDisplay display;
        QProcess process;
        startJob(process, QStringLiteral("Costs"), display.name());
        EXPECT_TRUE(display.focusClientWindow());
        answer(display);
        return finish(process);
    }
    // One xdotool command line: key names, and "sleep" or "key" to chain commands.
    static void keys(const e2e::VirtualDisplay &display, const QStringList &names) {
        EXPECT_TRUE(display.xdotool(QStringList{QStringLiteral("key")} + names));
    }
    // The server was asked to check the level's code under its parent before the job ended.
    int checks(const QByteArray &level) const {
        return int(sandbox.readFile(QStringLiteral("server.log"))
                       .count("received FINDUSERCODES [alice|" + level));
    }
};

} // namespace

TEST_F(CostCenterE2E, HistoryRowPickedWithEnter) {
    const Job job = run([](const e2e::VirtualDisplay &d) { keys(d, {"Down", "Return"}); });
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rD100", "CC_Static", "Project\rP110"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_GE(checks("Project|P110|D100|"), 1);
}

TEST_F(CostCenterE2E, LevelsSearchedOneByOne) {
    const Job job = run([](const e2e::VirtualDisplay &d) {
        EXPECT_TRUE(d.typeLine(QStringLiteral("d100")));
        EXPECT_TRUE(d.typeLine(QStringLiteral("p120")));
        // The last level completes the dialog; Next holds the focus.
        keys(d, {"Return"});
    });
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rD100", "CC_Static", "Project\rP120"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_GE(checks("Project|P120|D100|"), 1);
}

TEST_F(CostCenterE2E, ShortcutAppliedWithF1) {
    const auto key = zv::ZvRegKey::create(
        zv::RegRoot::CurrentUser, QStringLiteral("SOFTWARE\\Zorvant\\Popup Client\\shortcuts"));
    key.writeString(QStringLiteral("Lab"),
                    QStringLiteral("\"1\",\"D200\",\"Engineering\",\"P210\",\"Compiler\""));
    const Job job = run([](const e2e::VirtualDisplay &d) { keys(d, {"F1"}); });
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rD200", "CC_Static", "Project\rP210"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_GE(checks("Project|P210|D200|"), 1);
}

TEST_F(CostCenterE2E, DmsProposalAcceptedAndRefused) {
    const QString dms = QStringLiteral("[DLL]\nDLL Name=%1\n[Codes]\nDept=D200\nProject=P210\n")
                            .arg(e2e::binPath(QStringLiteral("plugins/libzvdmssample.so")));
    // Yes is the default button of the prompt.
    Job job = run([](const e2e::VirtualDisplay &d) { keys(d, {"Return"}); }, dms);
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rD200", "CC_Static", "Project\rP210"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_TRUE(job.err.contains(QStringLiteral("Verify DMS data succeeded")));

    // No: back to the history, whose first row is another combination.
    job = run(
        [](const e2e::VirtualDisplay &d) {
            keys(d, {"alt+n", "sleep", "0.5", "key", "Down", "Return"});
        },
        dms);
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rD100", "CC_Static", "Project\rP110"}))
        << qPrintable(QJsonDocument(job.report).toJson());
}

// ---- The charge balloon --------------------------------------------------------------------

namespace {

// Two cost-center levels whose remembered answers are used again without asking.
QByteArray chargeScenario() {
    QJsonArray levels;
    for (const auto &[name, category] : {std::pair{"Department", "Dept"}, {"Project", "Project"}}) {
        QJsonObject level = descriptor(name, "costcenter", category);
        level["options"] = 96;
        level["mandatory"] = 0;
        levels.append(level);
    }
    const QJsonObject queue{
        {"transaction", 9}, {"options", 0}, {"group", "Charge"}, {"descriptors", levels}};
    const QJsonObject root{
        {"version", 1005},
        {"queues", QJsonObject{{"Charge", queue}}},
        {"costCenters",
         QJsonObject{{"Dept", QJsonArray{costCenter("ACME", "Acme"), costCenter("BETA", "Beta")}},
                     {"Project", QJsonArray{costCenter("001", "Print room", "ACME"),
                                            costCenter("002", "Post room", "ACME"),
                                            costCenter("101", "Lab", "BETA")}}}},
        {"recentCodes", QJsonObject{{"alice", QJsonObject{{"Dept", QJsonArray{"ACME"}}}}}},
        {"verify", QJsonObject{{"rule", "always"}}}};
    return QJsonDocument(root).toJson();
}

const QString ChargedTo = QStringLiteral("This print job is charged to %1. Click here if you want "
                                         "to change this.");

// The job runs with dunst as the desktop's notification server.
class ChargeBalloonE2E : public PopupJobE2E {
protected:
    void SetUp() override {
        startServer({}, chargeScenario());
        busAddress = bus.address();
        // velkor keeps the prior-jobs section between the jobs.
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("SOFTWARE\\Zorvant\\Installed Components"))
            .writeString(QStringLiteral("Path"),
                         QFileInfo(e2e::binPath(QStringLiteral("velkor"))).dir().absolutePath() +
                             QStringLiteral("/.."));
        // Never a further part of the earlier job: the dialogs are gone through.
        setting(QStringLiteral("SkipDialogTimeout"), 0);
        setting(QStringLiteral("CheckDocNames"), 0);
        // The balloon's display time.
        setting(QStringLiteral("FinishDialogTimeout"), 2);
    }
    void TearDown() override { zv::ZvSharedSection::unlink(PriorJobsSectionName()); }

    static void setting(const QString &name, quint32 value) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("SOFTWARE\\Zorvant\\Popup Client"))
            .writeDWord(name, value);
    }
    // The answers of an earlier job of the same server and question group, as it left them.
    static void remember(const QByteArray &answers) {
        TAesUse::Init();
        TPrintJobList list;
        list.LoadPrintJobs();
        auto job = std::make_unique<TPrintJobDetails>("127.0.0.1", "Charge", "earlier.pdf");
        job->LastQuestions = "Department\rProject\r";
        job->SetLastAnswers(answers);
        job->LastUserResponse = 1;
        job->JobReceived = DateTimeToJobTime(QDateTime::currentDateTime());
        list.Add(std::move(job));
        list.SavePrintJobs();
    }
    // Runs a job on the queue; act runs once the balloon is on the screen.
    Job run(const std::function<void()> &act = {}) {
        QProcess process;
        startJob(process, QStringLiteral("Charge"), display.name());
        if (act) {
            EXPECT_TRUE(dunst.waitForDisplayed(1));
            act();
        }
        return finish(process);
    }

    e2e::VirtualDisplay display;
    e2e::PrivateBus bus;
    e2e::NotificationServer dunst{display, bus, sandbox.dir()};
};

} // namespace

TEST_F(ChargeBalloonE2E, LeftAloneTheBalloonEndsTheJobAsAnswered) {
    remember("ACME\r001\r");
    QElapsedTimer clock;
    clock.start();
    const Job job = run([] {});
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_GE(clock.elapsed(), 2000) << "the balloon's two seconds";
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rACME", "CC_Static", "Project\r001"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    const auto shown = dunst.history();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].summary, "Print Charge Information");
    EXPECT_EQ(shown[0].body, ChargedTo.arg("ACME, 001"));
    EXPECT_EQ(shown[0].timeoutMs, 2000);
    EXPECT_EQ(job.count(QStringLiteral("TMainForm.HandleChargeToBalloonShow hiding question form "
                                       "now.")),
              1);
    EXPECT_EQ(job.count(QStringLiteral("TMainForm.HandleChargeToBalloonTimeout, finishing the "
                                       "print job now.")),
              1);
}

TEST_F(ChargeBalloonE2E, BlankLevelsNameTheUser) {
    // Levels left blank count as answered, so the dialog passes over them.
    setting(QStringLiteral("SkipIfNotMandatory"), 1);
    remember("\r\r");
    const Job job = run([] {});
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    const auto shown = dunst.history();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].body, ChargedTo.arg("alice"));
    EXPECT_EQ(job.count(QStringLiteral("charge to user as blank cost center.")), 1);
}

TEST_F(ChargeBalloonE2E, SwitchedOffTheJobEndsAfterTheLastSet) {
    setting(QStringLiteral("ShowChargeBalloonMessage"), 0);
    setting(QStringLiteral("FinishDialogTimeout"), 60);
    remember("ACME\r001\r");
    QElapsedTimer clock;
    clock.start();
    const Job job = run();
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_LT(clock.elapsed(), 30000) << "nothing waited for";
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rACME", "CC_Static", "Project\r001"}));
    EXPECT_TRUE(dunst.history().isEmpty());
    EXPECT_EQ(dunst.displayed(), 0);
    EXPECT_EQ(job.count(QStringLiteral("HandleChargeToBalloonShow")), 0);
}

TEST_F(ChargeBalloonE2E, ClickShowsTheCostCentersAndTheEndBringsNoSecondBalloon) {
    // Long enough that only the click ends it.
    setting(QStringLiteral("FinishDialogTimeout"), 60);
    remember("ACME\r001\r");
    const Job job = run([this] {
        EXPECT_TRUE(dunst.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
        ASSERT_TRUE(display.focusClientWindow());
        // The remembered codes are in the levels: each is replaced by another.
        for (const QString &code : {QStringLiteral("beta"), QStringLiteral("101")}) {
            EXPECT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
            EXPECT_TRUE(display.typeLine(code));
        }
        EXPECT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    });
    ASSERT_EQ(job.exitCode, 1) << qPrintable(job.err);
    EXPECT_EQ(job.answers(), QStringList({"CC_Static", "Dept\rBETA", "CC_Static", "Project\r101"}))
        << qPrintable(QJsonDocument(job.report).toJson());
    EXPECT_EQ(dunst.history().size(), 1) << "one balloon, taken away by the click";
    EXPECT_EQ(dunst.displayed(), 0);
    EXPECT_EQ(job.count(QStringLiteral("TMainForm.HandleChargeToBalloonClicked requesting "
                                       "qmanager to show cost center form.")),
              1);
    EXPECT_EQ(job.count(QStringLiteral("HandleChargeToBalloonShow")), 1);
}

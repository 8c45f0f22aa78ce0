// SPDX-License-Identifier: MIT
// A popup-server job with the real programs: zvpopupd serves the job on the loopback
// interface, zvjob holds the job and starts queriant for it, and the dialogs are answered
// under Xvfb by typing. The answer record zvjob decrypts is compared line by line.
#include "E2ESupport.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

struct Job {
    int exitCode = -1;
    QJsonObject report;
    QString err;
};

class PopupJobE2E : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString trigger = sandbox.uniqueName(QStringLiteral("trigger"));
    zvtest::ScopedEnv triggerEnv{"ZORVANT_UPDATE_TRIGGER", trigger.toUtf8()};
    QProcess server;
    int port = 0;

    ~PopupJobE2E() override {
        server.kill();
        server.waitForFinished(5000);
    }

    void startServer(const QStringList &faults = {}) {
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(e2e::binPath(QStringLiteral("zvpopupd")),
                     QStringList{QStringLiteral("--scenario"),
                                 sandbox.writeFile(QStringLiteral("scenario.json"), scenario()),
                                 QStringLiteral("--key-bits"), QStringLiteral("512"),
                                 QStringLiteral("--log"),
                                 sandbox.path(QStringLiteral("server.log"))} +
                         faults);
        ASSERT_TRUE(server.waitForStarted());
        while (server.state() == QProcess::Running && !server.canReadLine())
            server.waitForReadyRead(200);
        const QByteArray line = server.readLine().trimmed();
        ASSERT_TRUE(line.startsWith("PORT ")) << line.constData();
        port = line.mid(5).toInt();
        const auto key = zv::ZvRegKey::create(
            zv::RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant\\Popup Client\\server"));
        key.writeString(QStringLiteral("ServerPort"), QString::number(port));
        key.writeString(QStringLiteral("ReceiveTimeout"), QStringLiteral("20"));
    }

    void startJob(QProcess &job, const QString &queue, const QString &display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_SESSION_ID"), QStringLiteral("5"));
        job.setProcessEnvironment(env);
        job.start(e2e::binPath(QStringLiteral("zvjob")),
                  {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("90"),
                   QStringLiteral("--print-server"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("--queue"), queue, QStringLiteral("--user"),
                   QStringLiteral("alice"), QStringLiteral("--document"),
                   QStringLiteral("report.pdf"), QStringLiteral("--pages"), QStringLiteral("3"),
                   QStringLiteral("--section"), sandbox.uniqueName(QStringLiteral("job"))});
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

    QStringList lines;
    for (const QJsonValue &line : job.report.value(QStringLiteral("answerRecord"))
                                      .toObject()
                                      .value(QStringLiteral("lines"))
                                      .toArray())
        lines << line.toString();
    // The logon answer is the job's user from then on.
    const QStringList expected{
        "WS1",       "bob",       "report.pdf",     "3",           "username",
        "bob",       "password",  "s3cret",         "Comment",     "hello world",
        "CC_Static", "Copies\r4", "StaticNotifyIP", "127.0.0.1:S5"};
    EXPECT_EQ(lines, expected) << qPrintable(QJsonDocument(job.report).toJson());
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

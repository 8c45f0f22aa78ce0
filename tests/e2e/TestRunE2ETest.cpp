// SPDX-License-Identifier: MIT
// A start without parameters with the real programs under Xvfb: zvdbserver fills the tester's
// form, the tester picks with the keyboard (xdotool), and the job goes to zvpopupd on the port
// the database server named. Database failures end on the error screen.
#include "E2ESupport.h"
#include "TestRunServers.h"
#include "TestSupport.h"
#include "ZvNamedEvent.h"

#include <QProcess>

namespace {

class TestRunE2E : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString trigger = sandbox.uniqueName(QStringLiteral("trigger"));
    zvtest::ScopedEnv triggerEnv{"ZORVANT_UPDATE_TRIGGER", trigger.toUtf8()};
    zvtest::TestRunServers servers{sandbox};
    e2e::VirtualDisplay display;
    QProcess client;
    QString log;

    ~TestRunE2E() override {
        if (client.state() != QProcess::NotRunning) {
            client.kill();
            client.waitForFinished();
        }
        zv::ZvNamedEvent::unlink(trigger);
    }

    void startClient() {
        log.clear();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), display.name());
        client.setProcessEnvironment(env);
        client.start(e2e::binPath(QStringLiteral("queriant")), QStringList{});
        ASSERT_TRUE(client.waitForStarted());
    }
    // Waits until the client's log (its standard error) holds the text.
    bool logged(const QString &text, int timeoutMs = 15000) {
        return e2e::waitUntil(
            [&] {
                log += QString::fromUtf8(client.readAllStandardError());
                return log.contains(text);
            },
            timeoutMs);
    }
    int finish() {
        EXPECT_TRUE(client.waitForFinished(15000));
        log += QString::fromUtf8(client.readAllStandardError());
        return client.exitCode();
    }
    bool keys(const QStringList &names) {
        return display
            .xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                 QStringLiteral("60")} +
                     names)
            .has_value();
    }
    bool type(const QString &text) {
        return display
            .xdotool(
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text})
            .has_value();
    }
    // The error screen waits for the user; Return is its OK.
    int closeErrorScreen() {
        EXPECT_TRUE(logged(QStringLiteral("TMainform.HandleException"))) << qPrintable(log);
        EXPECT_TRUE(display.focusClientWindow());
        EXPECT_EQ(client.state(), QProcess::Running);
        EXPECT_TRUE(keys({QStringLiteral("Return")}));
        return finish();
    }
};

} // namespace

TEST_F(TestRunE2E, TesterPicksServerAndQueueAndTheJobReachesThePopupServer) {
    ASSERT_TRUE(servers.StartPopupServer());
    ASSERT_TRUE(servers.StartDatabase());
    startClient();
    ASSERT_TRUE(display.focusClientWindow());
    // Popup server, then the workstation; the queue list's last entry is Mono (localhost).
    ASSERT_TRUE(keys({QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("WS-E2E")));
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("End")}));
    // The second print server entry is 127.0.0.1 again (one entry per queue): its first
    // queue, E2E, is selected.
    ASSERT_TRUE(keys({QStringLiteral("shift+Tab"), QStringLiteral("Down"), QStringLiteral("Tab"),
                      QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("carol")));
    ASSERT_TRUE(keys({QStringLiteral("Tab")}));
    ASSERT_TRUE(type(QStringLiteral("e2e.pdf")));
    ASSERT_TRUE(keys({QStringLiteral("Return")}));

    ASSERT_TRUE(logged(QStringLiteral("QuestionSet.FormType: stringform"))) << qPrintable(log);
    EXPECT_TRUE(log.contains(
        QStringLiteral("Popup Server info Host: 127.0.0.1  Service: %1").arg(servers.PopupPort())))
        << qPrintable(log);
    EXPECT_EQ(servers.PopupLog().count("received INITNEWJOB [WS-E2E|127.0.0.1|E2E|carol|e2e.pdf]"),
              1)
        << servers.PopupLog().constData();
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("two-sided")));
    ASSERT_TRUE(logged(QStringLiteral("QuestionSet.FormType: costcenterform")));
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("d200")));
    ASSERT_TRUE(keys({QStringLiteral("Return")}));

    // The form again, with the answers, until the tester leaves it.
    ASSERT_TRUE(logged(QStringLiteral("MainFrm HandleFinished"))) << qPrintable(log);
    ASSERT_TRUE(display.focusClientWindow());
    EXPECT_EQ(client.state(), QProcess::Running);
    EXPECT_TRUE(keys({QStringLiteral("Escape")}));
    EXPECT_EQ(finish(), 1) << qPrintable(log);
}

TEST_F(TestRunE2E, EmptyTablesLeaveTheJobWithoutServerOrQueue) {
    ASSERT_TRUE(servers.StartPopupServer());
    ASSERT_TRUE(servers.StartDatabase(R"({"servers": [], "serviceTypes": [], "spoolqs": []})"));
    startClient();
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(keys({QStringLiteral("Return")}));
    // Nothing chosen and no port named: the connection falls back to the default port.
    EXPECT_EQ(closeErrorScreen(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("on port 28203"))) << qPrintable(log);
    EXPECT_FALSE(log.contains(QStringLiteral("Popup Server info")));
    EXPECT_FALSE(servers.PopupLog().contains("INITNEWJOB"));
}

TEST_F(TestRunE2E, DatabaseFailuresEndOnTheErrorScreen) {
    struct Case {
        const char *name;
        QStringList options; // no server at all when empty
        bool afterOk;        // the failure comes with the popup service's settings
        const char *message;
    };
    const Case cases[] = {
        {"down", {}, false, "Connection refused"},
        {"authentication refused",
         {"--fault", "auth-refused"},
         false,
         "Authentication Error, should not get here"},
        {"error instead of authentication",
         {"--fault", "auth-error:Database is starting"},
         false,
         "Database is starting"},
        {"error status",
         {"--fault", "error:Table SERVICES is locked", "--fault-verb", "ServiceTypeGet"},
         true,
         "Table SERVICES is locked"},
        {"slower than the time-out",
         {"--fault", "drip:1500"},
         false,
         "Communication Error - please try again: Blocking call timed out(recv)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.options.isEmpty())
            servers.PointDatabaseClientAt(zvtest::TestRunServers::ClosedPort(), 1);
        else
            ASSERT_TRUE(servers.StartDatabase(zvtest::TestRunServers::Tables(), c.options, 1));
        startClient();
        if (c.afterOk) {
            ASSERT_TRUE(display.focusClientWindow());
            ASSERT_TRUE(keys({QStringLiteral("Return")}));
        }
        EXPECT_EQ(closeErrorScreen(), 0);
        EXPECT_TRUE(
            log.contains(QStringLiteral("TMainform.HandleException ") + QLatin1String(c.message)))
            << qPrintable(log);
    }
}

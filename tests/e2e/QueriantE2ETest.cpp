// SPDX-License-Identifier: MIT
// The popup client as its callers meet it: request-file jobs through zvrequest, the automation
// server on a private session bus, and dialogs answered under Xvfb by typing.
#include "E2ESupport.h"
#include "TestSupport.h"
#include "ZvNamedEvent.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

namespace {

QString stringSet(const QString &prompt, int timeout = 0) {
    return QStringLiteral("<questionset><formtype>stringform</formtype><title>Job</title>%1"
                          "<question><id>stringform</id><prompt>%2</prompt>"
                          "<mandatory>True</mandatory></question></questionset>")
        .arg(timeout > 0 ? QStringLiteral("<timeout>%1</timeout>").arg(timeout) : QString(),
             prompt);
}

QString request(const QString &sets) {
    return QStringLiteral("<questionsets>") + sets + QStringLiteral("</questionsets>");
}

struct JobRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class QueriantE2E : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString trigger = sandbox.uniqueName(QStringLiteral("trigger"));
    zvtest::ScopedEnv triggerEnv{"ZORVANT_UPDATE_TRIGGER", trigger.toUtf8()};

    ~QueriantE2E() override { zv::ZvNamedEvent::unlink(trigger); }

    QProcessEnvironment environment(const QString &display = QString()) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!display.isEmpty()) {
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            env.insert(QStringLiteral("DISPLAY"), display);
        }
        return env;
    }

    QString writeRequest(const QString &text) const {
        return sandbox.writeFile(QStringLiteral("request.xml"), text.toUtf8());
    }

    // zvrequest runs "queriant /XpNotify <section>" and prints the answer document.
    void startRequestJob(QProcess &process, const QString &text,
                         const QString &display = QString()) const {
        startRequestJob(process, text, environment(display));
    }
    void startRequestJob(QProcess &process, const QString &text,
                         const QProcessEnvironment &env) const {
        process.setProcessEnvironment(env);
        process.start(e2e::binPath(QStringLiteral("zvrequest")),
                      {QStringLiteral("--timeout"), QStringLiteral("60"),
                       QStringLiteral("--section"), sandbox.uniqueName(QStringLiteral("req")),
                       writeRequest(text)});
        ASSERT_TRUE(process.waitForStarted());
    }

    static JobRun finish(QProcess &process) {
        JobRun run;
        EXPECT_TRUE(process.waitForFinished(60000));
        run.exitCode = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
};

TEST_F(QueriantE2E, RequestFileJobAnsweredByTyping) {
    e2e::VirtualDisplay display;
    auto event = zv::ZvNamedEvent::openOrCreate(trigger);
    QProcess job;
    startRequestJob(job, request(stringSet(QStringLiteral("Your name?"))), display.name());
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("Alice Smith")));
    const JobRun run = finish(job);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains("<answer>Alice Smith</answer>")) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains("<response>userresponse</response>")) << qPrintable(run.out);
    EXPECT_TRUE(event->wait(0)) << "the update trigger is signalled at the end of the run";
}

// Two balloon sets before a dialog, shown by dunst: the first is clicked, the second left to
// its two seconds, then the dialog comes.
TEST_F(QueriantE2E, BalloonSetsShowOnTheDesktopAndMoveOnWhenTheyEnd) {
    e2e::VirtualDisplay display;
    e2e::PrivateBus bus;
    e2e::NotificationServer dunst(display, bus, sandbox.dir());
    const auto balloon = [](const QString &title, const QString &prompt) {
        return QStringLiteral("<questionset><formtype>balloonform</formtype><title>%1</title>"
                              "<timeout>2</timeout><question><id>balloonform</id><prompt>%2"
                              "</prompt><icon>2</icon></question></questionset>")
            .arg(title, prompt);
    };
    QProcess job;
    QProcessEnvironment env = environment(display.name());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    job.setProcessEnvironment(env);
    job.start(e2e::binPath(QStringLiteral("zvrequest")),
              {QStringLiteral("--timeout"), QStringLiteral("60"), QStringLiteral("--section"),
               sandbox.uniqueName(QStringLiteral("req")),
               writeRequest(request(
                   balloon(QStringLiteral("Printer"), QStringLiteral("Toner is low")) +
                   balloon(QStringLiteral("Queue"), QStringLiteral("Your job waits for paper")) +
                   stringSet(QStringLiteral("Your name?"), 2)))});
    ASSERT_TRUE(job.waitForStarted());

    ASSERT_TRUE(dunst.waitForDisplayed(1));
    ASSERT_TRUE(dunst.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
    ASSERT_TRUE(e2e::waitUntil([&] { return dunst.history().size() == 2; }, 15000))
        << "the second balloon follows the first and ends by its time";
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("Ann")));
    const JobRun run = finish(job);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains("<answer>Ann</answer>")) << qPrintable(run.out);

    const auto shown = dunst.history();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].summary, "Printer");
    EXPECT_EQ(shown[1].body, "Toner is low");
    EXPECT_EQ(shown[0].summary, "Queue");
    EXPECT_EQ(shown[0].body, "Your job waits for paper");
    EXPECT_EQ(shown[0].timeoutMs, 2000);
    EXPECT_EQ(dunst.displayed(), 0);
}

TEST_F(QueriantE2E, RequestFileJobTimesOut) {
    QProcess job;
    QElapsedTimer clock;
    clock.start();
    startRequestJob(job, request(stringSet(QStringLiteral("Nobody answers"), 1)));
    const JobRun run = finish(job);
    EXPECT_GE(clock.elapsed(), 3000) << "time-out of 1 s plus the 2 s grace";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("<response>usertimeout</response>")) << qPrintable(run.out);
    EXPECT_TRUE(run.err.contains("MainFrm DialogTimeOut"));
}

TEST_F(QueriantE2E, UnknownFormTypeShowsTheErrorScreenUntilOk) {
    e2e::VirtualDisplay display;
    QProcess job;
    startRequestJob(job,
                    request(QStringLiteral("<questionset><formtype>nosuchform</formtype>"
                                           "<question><id>stringform</id><prompt>P</prompt>"
                                           "</question></questionset>")),
                    display.name());
    ASSERT_TRUE(display.focusClientWindow());
    EXPECT_EQ(job.state(), QProcess::Running) << "the error screen waits for the user";
    // The OK button holds the focus.
    ASSERT_TRUE(display.xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    const JobRun run = finish(job);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("TMainform.HandleException Form type: nosuchform is unknown"))
        << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains("answer document: none")) << "the job never finished";
}

// One choice set of a request document: a mandatory question with the items given.
QString choiceSet(const char *formType, const QString &prompt, const QString &items) {
    return QStringLiteral("<questionset><formtype>%1</formtype><title>Job</title><question>"
                          "<id>%1</id><prompt>%2</prompt><mandatory>True</mandatory>"
                          "<answerlist>%3</answerlist></question></questionset>")
        .arg(QLatin1String(formType), prompt, items);
}

QString items(const QStringList &texts) {
    QString out;
    for (const QString &text : texts)
        out += QStringLiteral("<answeritem>%1</answeritem>").arg(text);
    return out;
}

TEST_F(QueriantE2E, ChoiceDialogsAnsweredWithTheKeyboard) {
    e2e::VirtualDisplay display;
    QProcess job;
    startRequestJob(
        job,
        request(choiceSet("buttonform", QStringLiteral("Both sides?"),
                          QStringLiteral("<answeritem value=\"6\"/><answeritem value=\"7\"/>")) +
                choiceSet("comboform", QStringLiteral("Colour?"),
                          items({QStringLiteral("Red"), QStringLiteral("Green"),
                                 QStringLiteral("Blue")})) +
                choiceSet("radioform", QStringLiteral("Priority?"),
                          items({QStringLiteral("Low"), QStringLiteral("Medium"),
                                 QStringLiteral("High")})) +
                choiceSet("listform", QStringLiteral("Project?"),
                          items({QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                 QStringLiteral("Gamma")}))),
        display.name());
    const auto keys = [&](const QStringList &names) {
        return display
            .xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                 QStringLiteral("100")} +
                     names)
            .has_value();
    };
    // Buttons: the first has the focus; the second is "No"; its click moves on.
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(keys({QStringLiteral("Tab"), QStringLiteral("Return")}));
    // Drop-down: the next item, then Enter.
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(keys({QStringLiteral("Down"), QStringLiteral("Return")}));
    // Radio group: the next item, then Enter.
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(keys({QStringLiteral("Down"), QStringLiteral("space"), QStringLiteral("Return")}));
    // List: type-ahead completes the value; Enter prints.
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("be")));
    const JobRun run = finish(job);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    for (const char *answer : {"<answer>7</answer>", "<answer>Green</answer>",
                               "<answer>Medium</answer>", "<answer>Beta</answer>"})
        EXPECT_TRUE(run.out.contains(QLatin1String(answer))) << answer << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains("<response>userresponse</response>")) << qPrintable(run.out);
}

// The automation server as a caller sees it: started by the bus from its activation file.
class AutomationE2E : public QueriantE2E {
protected:
    void SetUp() override {
        QProcess reg;
        reg.setProcessEnvironment(environment());
        reg.start(e2e::binPath(QStringLiteral("queriant")), {QStringLiteral("-RegServer")});
        ASSERT_TRUE(reg.waitForFinished(10000));
        ASSERT_EQ(reg.exitCode(), 0);
    }

    static QDBusMessage presentData(const QString &text) {
        return QDBusMessage::createMethodCall(
                   QStringLiteral("com.zorvant.Queriant"), QStringLiteral("/PopupGUI"),
                   QStringLiteral("com.zorvant.IPopupGUI"), QStringLiteral("PresentData"))
               << text;
    }

    static qint64 serverPid(QDBusConnection &bus) {
        const QDBusReply<uint> pid =
            bus.interface()->servicePid(QStringLiteral("com.zorvant.Queriant"));
        return pid.isValid() ? qint64(pid.value()) : 0;
    }

    // Long enough for a user; the bus default of 25 s is not.
    static constexpr int CallTimeout = 120000;
};

TEST_F(AutomationE2E, ErrorsAndQueuedCallsAndTheEndOfTheServer) {
    e2e::PrivateBus bus(environment());
    qint64 pid = 0;
    {
        QDBusConnection caller = bus.connect(QStringLiteral("caller"));
        ASSERT_TRUE(caller.isConnected());

        // A request that is no document: a D-Bus error with the failure's text, server stays up.
        const QDBusMessage bad =
            caller.call(presentData(QStringLiteral("<questionsets")), QDBus::Block, CallTimeout);
        ASSERT_EQ(bad.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(bad.errorName(), "org.freedesktop.DBus.Error.Failed");
        EXPECT_FALSE(bad.errorMessage().isEmpty());
        pid = serverPid(caller);
        ASSERT_GT(pid, 0) << "activated from the file -RegServer wrote";

        // A question set inside another question's answer: refused, and the server lives on.
        const QString padding = QStringLiteral("<a/>").repeated(550);
        const QDBusMessage nested = caller.call(
            presentData(QStringLiteral("<questionsets><questionset><question><answer>") + padding +
                        QStringLiteral("<questionsets><questionset><question/></questionset>"
                                       "</questionsets>") +
                        padding +
                        QStringLiteral("</answer></question></questionset></questionsets>")),
            QDBus::Block, CallTimeout);
        ASSERT_EQ(nested.type(), QDBusMessage::ErrorMessage);
        EXPECT_TRUE(nested.errorMessage().contains(QStringLiteral("lies inside a question")))
            << qPrintable(nested.errorMessage());
        EXPECT_EQ(serverPid(caller), pid);

        // Two calls at once: the second waits until the first job has ended.
        QElapsedTimer clock;
        clock.start();
        QDBusPendingCall first = caller.asyncCall(
            presentData(request(stringSet(QStringLiteral("First"), 1))), CallTimeout);
        QDBusPendingCall second = caller.asyncCall(
            presentData(request(stringSet(QStringLiteral("Second"), 1))), CallTimeout);
        qint64 firstDone = 0;
        qint64 secondDone = 0;
        ASSERT_TRUE(e2e::waitUntil(
            [&] {
                if (!firstDone && first.isFinished())
                    firstDone = clock.elapsed();
                if (!secondDone && second.isFinished())
                    secondDone = clock.elapsed();
                return firstDone && secondDone;
            },
            30000));
        const QDBusReply<QString> firstReply(first);
        const QDBusReply<QString> secondReply(second);
        ASSERT_TRUE(firstReply.isValid()) << qPrintable(firstReply.error().message());
        ASSERT_TRUE(secondReply.isValid()) << qPrintable(secondReply.error().message());
        EXPECT_TRUE(firstReply.value().contains("<prompt>First</prompt>"));
        EXPECT_TRUE(firstReply.value().contains("<response>usertimeout</response>"));
        EXPECT_TRUE(secondReply.value().contains("<prompt>Second</prompt>"));
        EXPECT_GE(firstDone, 2900);
        EXPECT_GE(secondDone - firstDone, 2900) << "the second job ran after the first";
        EXPECT_EQ(serverPid(caller), pid) << "one process served every call";
    }

    // The caller leaves (its last reference is gone): the server gives its name back and ends.
    QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::processAlive(pid); }, 10000));
    QDBusConnection observer = bus.connect(QStringLiteral("observer"));
    EXPECT_FALSE(observer.interface()->isServiceRegistered(QStringLiteral("com.zorvant.Queriant")));
    QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
}

TEST_F(AutomationE2E, CallAnsweredThroughTwoDialogs) {
    e2e::VirtualDisplay display;
    e2e::PrivateBus bus(environment(display.name()));
    QDBusConnection caller = bus.connect(QStringLiteral("caller2"));
    ASSERT_TRUE(caller.isConnected());
    QDBusPendingCall call =
        caller.asyncCall(presentData(request(stringSet(QStringLiteral("Project?")) +
                                             stringSet(QStringLiteral("Room?")))),
                         CallTimeout);
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("Apollo")));
    ASSERT_TRUE(display.focusClientWindow());
    ASSERT_TRUE(display.typeLine(QStringLiteral("B-12")));
    ASSERT_TRUE(e2e::waitUntil([&] { return call.isFinished(); }, 20000));
    const QDBusReply<QString> reply(call);
    ASSERT_TRUE(reply.isValid()) << qPrintable(reply.error().message());
    EXPECT_TRUE(reply.value().contains("<prompt>Project?</prompt><mandatory>True</mandatory>"
                                       "<answer>Apollo</answer>"))
        << qPrintable(reply.value());
    EXPECT_TRUE(reply.value().contains("<answer>B-12</answer>"));
    EXPECT_TRUE(reply.value().contains("<response>userresponse</response>"));
    QDBusConnection::disconnectFromBus(QStringLiteral("caller2"));
}

// Under a Wayland compositor: no window positions, no focus for the asking, no keystrokes from
// outside. The compositor here refuses every activation, as a desktop with focus-stealing
// prevention does.
class WaylandE2E : public QueriantE2E {
protected:
    e2e::WaylandCompositor compositor;

    // The client on the compositor and a private session bus with its accessibility bus;
    // WAYLAND_DEBUG shows what the client asks of the compositor.
    QProcessEnvironment clientEnvironment(const e2e::PrivateBus &bus) const {
        QProcessEnvironment env = compositor.clientEnvironment(environment());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        return env;
    }

    static QString integerSet(const QString &prompt, int timeout) {
        return QStringLiteral("<questionset><formtype>integerform</formtype><title>Copies</title>"
                              "%1<question><id>integerform</id><prompt>%2</prompt>"
                              "<mandatory>True</mandatory></question></questionset>")
            .arg(timeout > 0 ? QStringLiteral("<timeout>%1</timeout>").arg(timeout) : QString(),
                 prompt);
    }
    // A string question titled "Job", then an integer question titled "Copies". The job's
    // time-out is the one its last set names.
    static QString twoQuestions(int timeout = 0) {
        return request(stringSet(QStringLiteral("Your name?"), timeout) +
                       integerSet(QStringLiteral("How many?"), timeout));
    }

    // The requests the client sent the compositor with that name (WAYLAND_DEBUG lines).
    static QStringList requests(const QString &err, const QString &name) {
        QStringList found;
        for (const QString &line : err.split(QLatin1Char('\n')))
            if (line.contains(QStringLiteral(" -> ")) && line.contains(name))
                found << line.mid(line.indexOf(QStringLiteral(" -> ")) + 4).trimmed();
        return found;
    }
    // The client's own log lines, without the protocol trace.
    static QString clientLog(const QString &err) {
        return err.split(QLatin1Char('\n'))
            .filter(QStringLiteral("Queriant.exe]"))
            .join(QLatin1Char('\n'));
    }
};

TEST_F(WaylandE2E, RequestFileJobAnsweredOverTheAccessibilityBus) {
    e2e::PrivateBus bus(environment());
    QProcess job;
    startRequestJob(job, twoQuestions(), clientEnvironment(bus));
    const std::optional<QString> first =
        e2e::answerOverAccessibility(bus.address(), QStringLiteral("Job"),
                                     {QStringLiteral("Alice Smith")}, QStringLiteral("Next"));
    ASSERT_TRUE(first.has_value());
    const std::optional<QString> second = e2e::answerOverAccessibility(
        bus.address(), QStringLiteral("Copies"), {QStringLiteral("42")}, QStringLiteral("OK"));
    ASSERT_TRUE(second.has_value());
    const JobRun run = finish(job);
    const QString log = clientLog(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(log);
    EXPECT_TRUE(run.out.contains("<answer>Alice Smith</answer>")) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains("<answer>42</answer>")) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains("<response>userresponse</response>")) << qPrintable(run.out);

    // What the compositor was told: the application id of the desktop entry, each dialog's
    // own title, the job's client size.
    const QStringList appIds =
        requests(run.err, QStringLiteral("xdg_toplevel@")).filter(QStringLiteral(".set_app_id("));
    ASSERT_FALSE(appIds.isEmpty()) << qPrintable(log);
    EXPECT_TRUE(appIds.first().endsWith(QStringLiteral(".set_app_id(\"com.zorvant.Queriant\")")))
        << qPrintable(appIds.first());
    // Mapped with the first dialog's title, renamed for the second, nothing appended.
    const QStringList titles =
        requests(run.err, QStringLiteral("xdg_toplevel@")).filter(QStringLiteral(".set_title("));
    ASSERT_EQ(titles.size(), 2) << qPrintable(titles.join(QLatin1Char('\n')));
    EXPECT_TRUE(titles.at(0).endsWith(QStringLiteral(".set_title(\"Job\")")));
    EXPECT_TRUE(titles.at(1).endsWith(QStringLiteral(".set_title(\"Copies\")")));
    EXPECT_FALSE(
        requests(run.err, QStringLiteral("set_window_geometry(0, 0, 520, 360)")).isEmpty());
    QFile entry(QStringLiteral(ZV_BIN_DIR "/../share/applications/com.zorvant.Queriant.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray desktop = entry.readAll();
    EXPECT_TRUE(desktop.contains("\nNoDisplay=true\n"));
    EXPECT_TRUE(desktop.contains("\nName=Print job question\n"));
}

TEST_F(WaylandE2E, RequestFileJobLeftAloneTimesOut) {
    e2e::PrivateBus bus(environment());
    QProcess job;
    QElapsedTimer clock;
    clock.start();
    startRequestJob(job, twoQuestions(1), clientEnvironment(bus));
    const JobRun run = finish(job);
    EXPECT_GE(clock.elapsed(), 3000) << "time-out of 1 s plus the 2 s grace";
    EXPECT_EQ(run.exitCode, 0) << qPrintable(clientLog(run.err));
    EXPECT_TRUE(run.out.contains("<response>usertimeout</response>")) << qPrintable(run.out);
    EXPECT_FALSE(requests(run.err, QStringLiteral("xdg_toplevel@")).isEmpty())
        << "the dialog was shown on the compositor";
    // Nothing brings the window to the front here; without a notification server that is
    // logged and the job goes on.
    const QString log = clientLog(run.err);
    EXPECT_TRUE(log.contains("the desktop did not bring the window to the front"))
        << qPrintable(log);
    EXPECT_TRUE(log.contains("Desktop notifications are not available")) << qPrintable(log);
}

// With a notification server the refused window is announced: the click brings the dialog
// back with the focus in its first control (here, where it still cannot come to the front, it
// is announced again), and the notice goes with the job.
TEST_F(WaylandE2E, WaitingNotificationBringsTheDialogBackAndGoesWithTheJob) {
    e2e::VirtualDisplay dunstDisplay;
    e2e::PrivateBus bus(environment());
    e2e::NotificationServer dunst(dunstDisplay, bus, sandbox.dir());
    QProcess job;
    startRequestJob(job, twoQuestions(60), clientEnvironment(bus));
    ASSERT_TRUE(dunst.waitForDisplayed(1));
    ASSERT_TRUE(dunst.dunstctl({QStringLiteral("action"), QStringLiteral("0")}));
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return dunst.history().size() == 1 && dunst.displayed() == 1; }, 15000))
        << "clicked, then announced again";
    ASSERT_TRUE(e2e::answerOverAccessibility(bus.address(), QStringLiteral("Job"),
                                             {QStringLiteral("Alice Smith")},
                                             QStringLiteral("Next")));
    ASSERT_TRUE(e2e::answerOverAccessibility(bus.address(), QStringLiteral("Copies"),
                                             {QStringLiteral("2")}, QStringLiteral("OK")));
    const JobRun run = finish(job);
    const QString log = clientLog(run.err);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(log);
    EXPECT_TRUE(run.out.contains("<answer>Alice Smith</answer>")) << qPrintable(run.out);
    EXPECT_TRUE(e2e::waitUntil([&] { return dunst.displayed() == 0; }, 5000))
        << "withdrawn at the end of the job";

    const auto shown = dunst.history();
    ASSERT_EQ(shown.size(), 2);
    for (const auto &notice : shown) {
        EXPECT_EQ(notice.appName, "Print job question");
        EXPECT_EQ(notice.summary, "A print job needs your answers");
        EXPECT_EQ(notice.body, "Job") << "the dialog's title; a request file names no document";
        EXPECT_EQ(notice.timeoutMs, 0) << "shown until the job ends";
    }
    const qsizetype clicked = log.indexOf("MainFrm the waiting notification was clicked");
    ASSERT_GE(clicked, 0) << qPrintable(log);
    EXPECT_GT(log.indexOf("MainFrm BringToForeground focus to AnswerEdit", clicked), clicked)
        << qPrintable(log);
}

// Left alone, the notice does not hold the job: the dialog time-out runs on, and the notice
// goes when the job ends.
TEST_F(WaylandE2E, WaitingNotificationLeftAloneGoesAtTheTimeOut) {
    e2e::VirtualDisplay dunstDisplay;
    e2e::PrivateBus bus(environment());
    e2e::NotificationServer dunst(dunstDisplay, bus, sandbox.dir());
    QProcess job;
    QElapsedTimer clock;
    clock.start();
    startRequestJob(job, twoQuestions(2), clientEnvironment(bus));
    ASSERT_TRUE(dunst.waitForDisplayed(1));
    const qint64 announced = clock.elapsed();
    const JobRun run = finish(job);
    // 2 s plus the 2 s grace from the start; announced 1.5 s after the start.
    EXPECT_LT(clock.elapsed() - announced, 3500) << "the notice did not start the time-out again";
    EXPECT_EQ(run.exitCode, 0) << qPrintable(clientLog(run.err));
    EXPECT_TRUE(run.out.contains("<response>usertimeout</response>")) << qPrintable(run.out);
    EXPECT_TRUE(e2e::waitUntil([&] { return dunst.displayed() == 0; }, 5000));
    EXPECT_EQ(dunst.history().size(), 1);
}

} // namespace

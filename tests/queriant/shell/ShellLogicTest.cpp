// SPDX-License-Identifier: MIT
#include "AutomationQueue.h"
#include "AutomationRegistration.h"
#include "CommandLine.h"
#include "DialogTimeout.h"
#include "ErrorScreen.h"
#include "ForegroundWatch.h"
#include "HostLayout.h"
#include "PopupMessages.h"
#include "QuestionManager.h"
#include "RightToLeft.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace {

using popup::ContainsArabicText;

struct ModeCase {
    const char *name;
    QStringList parameters;
    TStartAction action;
    quint8 runMode;
};

TEST(CommandLine, SelectsStartActionAndRunMode) {
    const ModeCase cases[] = {
        {"no parameters: test run", {}, TStartAction::Run, rmTestRun},
        {"section name: popup-server job", {"Local\\zvjob.1"}, TStartAction::Run, rmJobParameters},
        {"server and queue", {"srv", "Queue1"}, TStartAction::Run, rmJobParameters},
        {"Embedding", {"-Embedding"}, TStartAction::Run, rmAutomation},
        {"AUTOMATION with a slash, any case", {"/aUtOmAtIoN"}, TStartAction::Run, rmAutomation},
        {"XpNotify", {"/XpNotify", "Local\\req"}, TStartAction::Run, rmRequestFile},
        {"XpNotify wins over Automation",
         {"-automation", "x", "-xpnotify", "y"},
         TStartAction::Run,
         rmRequestFile},
        {"a switch needs its prefix",
         {"XpNotify", "Local\\req"},
         TStartAction::Run,
         rmJobParameters},
        {"a prefix alone is no switch", {"/", "-"}, TStartAction::Run, rmJobParameters},
        {"RegServer", {"/RegServer"}, TStartAction::RegServer, rmJobParameters},
        {"UnregServer beats other switches",
         {"-Embedding", "-unregserver"},
         TStartAction::UnregServer,
         rmAutomation},
        {"help", {"--help"}, TStartAction::Help, rmJobParameters},
        {"version", {"--version"}, TStartAction::Version, rmJobParameters},
    };
    for (const ModeCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StartActionFromParameters(c.parameters), c.action);
        EXPECT_EQ(RunModeFromParameters(c.parameters), c.runMode);
    }
}

TEST(RightToLeft, NeedsTheSameRightToLeftLanguageOnBothSides) {
    const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
    const QLocale arabicSaudi(QLocale::Arabic, QLocale::SaudiArabia);
    const QLocale hebrew(QLocale::Hebrew, QLocale::Israel);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale c = QLocale::c();
    EXPECT_TRUE(IsRightToLeftLocale(arabic, arabicSaudi)) << "countries may differ";
    EXPECT_TRUE(IsRightToLeftLocale(hebrew, hebrew));
    EXPECT_FALSE(IsRightToLeftLocale(arabic, hebrew)) << "different languages";
    EXPECT_FALSE(IsRightToLeftLocale(arabic, english));
    EXPECT_FALSE(IsRightToLeftLocale(english, arabic));
    EXPECT_FALSE(IsRightToLeftLocale(english, english));
    EXPECT_FALSE(IsRightToLeftLocale(c, c));
}

TEST(RightToLeft, ReadsTheSystemLocaleFromItsConfiguration) {
    const auto arabic = LocaleFromConfigText("# comment\nLC_TIME=C\nLANG=\"ar_EG.UTF-8\"\n");
    ASSERT_TRUE(arabic);
    EXPECT_EQ(arabic->language(), QLocale::Arabic);
    const auto german = LocaleFromConfigText("LANG=de_DE@euro");
    ASSERT_TRUE(german);
    EXPECT_EQ(german->language(), QLocale::German);
    EXPECT_FALSE(LocaleFromConfigText("LC_ALL=ar_EG.UTF-8\n"));
    EXPECT_FALSE(LocaleFromConfigText("LANG=\n"));
}

TEST(ContainsArabicText, RangeEdges) {
    struct Case {
        char16_t unit;
        bool arabic;
    } cases[] = {{0x05FF, false}, {0x0600, true}, {0x06FF, true}, {0x0700, false},
                 {0x074F, false}, {0x0750, true}, {0x077F, true}, {0x0780, false},
                 {0xFB4F, false}, {0xFB50, true}, {0xFC3F, true}, {0xFC40, false},
                 {0xFE6F, false}, {0xFE70, true}, {0xFEFC, true}, {0xFEFD, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.unit));
        const QString text = QStringLiteral("Cost center ") + QChar(c.unit) + QStringLiteral("?");
        EXPECT_EQ(ContainsArabicText(text), c.arabic);
    }
    EXPECT_FALSE(ContainsArabicText(QString()));
}

TEST(DialogTimeout, IntervalIsTwoSecondsLongerThanTheManagersTimeout) {
    EXPECT_EQ(TDialogTimeout::IntervalFor(30), 32000);
    EXPECT_EQ(TDialogTimeout::IntervalFor(1), 3000);
    EXPECT_EQ(TDialogTimeout::IntervalFor(0), std::nullopt);
    EXPECT_EQ(TDialogTimeout::IntervalFor(-5), std::nullopt);
    EXPECT_EQ(TDialogTimeout::IntervalFor(std::numeric_limits<qint32>::max()),
              std::numeric_limits<int>::max())
        << "no overflow into a negative interval";
}

TEST(DialogTimeout, ArmsOnlyForAPositiveTimeoutAndRestartsOnActivity) {
    int fired = 0;
    TDialogTimeout timeout([&] { ++fired; });
    timeout.Arm(0);
    EXPECT_FALSE(timeout.Enabled());
    timeout.Restart();
    EXPECT_FALSE(timeout.Enabled()) << "activity does not arm a disabled timer";

    timeout.Arm(30);
    EXPECT_TRUE(timeout.Enabled());
    EXPECT_EQ(timeout.Interval(), 32000);
    QTest::qWait(300);
    EXPECT_LT(timeout.RemainingTime(), 31800);
    timeout.Restart();
    EXPECT_GT(timeout.RemainingTime(), 31800) << "the full interval starts again";
    timeout.Stop();
    EXPECT_FALSE(timeout.Enabled());
    EXPECT_EQ(fired, 0);
}

TEST(DialogTimeout, FiresOnceAndDisablesItself) {
    int fired = 0;
    TDialogTimeout timeout([&] { ++fired; });
    timeout.Arm(1); // 3 s
    QElapsedTimer clock;
    clock.start();
    // Activity after 1.5 s pushes the end to about 4.5 s.
    QTest::qWait(1500);
    timeout.Restart();
    QTest::qWait(2500);
    EXPECT_EQ(fired, 0) << "restarted at 1.5 s, so not yet over at 4 s";
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired > 0; }, 3000));
    EXPECT_GE(clock.elapsed(), 4400);
    EXPECT_FALSE(timeout.Enabled());
    QTest::qWait(100);
    EXPECT_EQ(fired, 1);
}

TEST(ErrorScreen, MessagesGoOnLinesOfTheirOwn) {
    QString text = AppendErrorMessage(QString(), QStringLiteral("Form type: x is unknown"));
    EXPECT_EQ(text, "Form type: x is unknown");
    text = AppendErrorMessage(text, QStringLiteral("Second"));
    EXPECT_EQ(text, "Form type: x is unknown\r\nSecond");
}

TEST(ErrorScreen, ArabicExplanationNamesTheQueueWhenKnown) {
    const QString withQueue = ArabicErrorText(QStringLiteral("Floor2"));
    EXPECT_TRUE(withQueue.startsWith("Your print job is not processed.\r\n\r\nZorvant Queue "
                                     "(Floor2) is configured to use popup questions in Arabic "
                                     "language. For Popups to display"));
    EXPECT_TRUE(withQueue.endsWith(
        "Current language for non-Unicode programs'.\r\n\r\nNote that the control for setting "
        "system locale can be located differently depending on Windows version installed."
        "\r\n\r\nPlease contact your network administrator or support staff for help."));
    EXPECT_TRUE(ArabicErrorText(QString()).contains(
        "Zorvant Queue is configured to use popup questions in Arabic language. "));
    EXPECT_EQ(ArabicErrorTitle(), "Print Job Error");
}

TEST(HostLayout, CentresOnTheMonitorRoundingTowardZero) {
    EXPECT_EQ(CentredOrigin(QRect(0, 0, 1024, 768), QSize(520, 361)), QPoint(252, 203));
    EXPECT_EQ(CentredOrigin(QRect(1920, 0, 1280, 1024), QSize(535, 380)), QPoint(2292, 322))
        << "on a second monitor";
    EXPECT_EQ(CentredOrigin(QRect(0, 0, 400, 300), QSize(501, 301)), QPoint(-50, 0));
}

QString requestWithSets(int count) {
    QString sets;
    for (int i = 0; i < count; ++i)
        sets += QStringLiteral("<questionset><formtype>stringform</formtype><title>T</title>"
                               "<question><id>stringform</id><prompt>P%1</prompt></question>"
                               "</questionset>")
                    .arg(i);
    return QStringLiteral("<questionsets>") + sets + QStringLiteral("</questionsets>");
}

TEST(HostLayout, FormModeOfEachSet) {
    TQuestionManager three({QStringLiteral("-Embedding")});
    three.LoadGuiQuestions(requestWithSets(3));
    ASSERT_EQ(three.QuestionSetCount(), 3);
    EXPECT_EQ(FormModeFor(three, three.QuestionSet(0)), fmFirst);
    EXPECT_EQ(FormModeFor(three, three.QuestionSet(1)), fmMiddle);
    EXPECT_EQ(FormModeFor(three, three.QuestionSet(2)), fmLast);

    TQuestionManager one({QStringLiteral("-Embedding")});
    one.LoadGuiQuestions(requestWithSets(1));
    EXPECT_EQ(FormModeFor(one, one.QuestionSet(0)), fmSingle);
}

TPendingCall call(const QString &caller, const QString &request, QStringList &log) {
    return {caller, request, [&log, request](const QString &a) { log << request + "=" + a; },
            [&log, request](const QString &m) { log << request + "!" + m; }};
}

TEST(AutomationQueue, ServesOneCallAtATimeInArrivalOrder) {
    QStringList log;
    TAutomationQueue queue;
    queue.Add(call(":1.1", "a", log));
    queue.Add(call(":1.2", "b", log));
    TPendingCall *first = queue.StartNext();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->request, "a");
    EXPECT_EQ(queue.StartNext(), nullptr) << "a call is in service";
    first->reply("ok");
    queue.FinishCurrent();
    TPendingCall *second = queue.StartNext();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->request, "b");
    second->fail("bad");
    queue.FinishCurrent();
    EXPECT_EQ(queue.StartNext(), nullptr);
    EXPECT_EQ(log, QStringList({"a=ok", "b!bad"}));
    EXPECT_TRUE(queue.HasCallers()) << "callers stay known until they leave the bus";
}

TEST(AutomationQueue, ACallerThatLeavesLosesItsWaitingCalls) {
    QStringList log;
    TAutomationQueue queue;
    queue.Add(call(":1.1", "a1", log));
    queue.Add(call(":1.2", "b1", log));
    queue.Add(call(":1.1", "a2", log));
    queue.Add(call(":1.2", "b2", log));
    queue.StartNext(); // a1
    EXPECT_FALSE(queue.CallerLeft(":1.2")) << "the call in service is not b's";
    EXPECT_EQ(queue.Waiting(), 1);
    EXPECT_TRUE(queue.HasCallers());
    EXPECT_TRUE(queue.CallerLeft(":1.1")) << "the call in service is a's";
    queue.FinishCurrent();
    EXPECT_EQ(queue.StartNext(), nullptr);
    EXPECT_FALSE(queue.HasCallers());
    EXPECT_TRUE(log.isEmpty());
}

TEST(AutomationRegistration, WritesAndRemovesTheActivationFile) {
    zvtest::Sandbox sandbox;
    const QString path = ActivationFilePath();
    EXPECT_EQ(path, sandbox.dir() + "/data/dbus-1/services/com.zorvant.Queriant.service")
        << "below XDG_DATA_HOME";
    EXPECT_FALSE(UnregisterAutomationServer());
    RegisterAutomationServer(QStringLiteral("/opt/zorvant/bin/queriant"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[D-BUS Service]\nName=com.zorvant.Queriant\n"
                              "Exec=/opt/zorvant/bin/queriant -Embedding\n");
    file.close();
    EXPECT_TRUE(UnregisterAutomationServer());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(AutomationRegistration, QuotesAPathWithBlanks) {
    EXPECT_EQ(ActivationFileText(QStringLiteral("/opt/My \"Apps\"/queriant")),
              "[D-BUS Service]\nName=com.zorvant.Queriant\n"
              "Exec=\"/opt/My \\\"Apps\\\"/queriant\" -Embedding\n");
}

// A request the desktop leaves unanswered for the grace is a refusal, told once; a granted,
// stopped or already active one is not; a repeated request starts the grace again.
TEST(ForegroundWatch, ReportsEachUnansweredRequestOnce) {
    bool active = false;
    int refused = 0;
    TForegroundWatch watch([&] { return active; }, [&] { ++refused; }, 60);

    watch.Requested();
    EXPECT_TRUE(watch.Waiting());
    QTest::qWait(200);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(watch.Waiting());

    watch.Requested();
    watch.Activated();
    watch.Requested();
    watch.Stop();
    QTest::qWait(200);
    EXPECT_EQ(refused, 1) << "granted, then stopped";

    active = true; // active with no event seen
    watch.Requested();
    QTest::qWait(200);
    EXPECT_EQ(refused, 1);

    active = false;
    watch.Requested();
    QTest::qWait(40);
    watch.Requested();
    QTest::qWait(40);
    EXPECT_EQ(refused, 1) << "the second request started the grace again";
    QTest::qWait(150);
    EXPECT_EQ(refused, 2);
}

} // namespace

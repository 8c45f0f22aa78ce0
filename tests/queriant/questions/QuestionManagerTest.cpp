// SPDX-License-Identifier: MIT
#include "QuestionManager.h"
#include "ShortCutManager.h"
#include "TestSupport.h"

#include <QStringList>

#include <functional>

namespace {

const QStringList Automation = {QStringLiteral("/AUTOMATION")};

TEST(RunModeFromParameters, LaterRulesOverrideEarlierOnes) {
    const struct {
        QStringList params;
        quint8 mode;
    } cases[] = {
        {{}, rmTestRun},
        {{"/zvjob.1234"}, rmJobParameters},
        {{"PRINTSRV", "Queue1"}, rmJobParameters},
        {{"-Embedding"}, rmAutomation},
        {{"/automation"}, rmAutomation},
        {{"AUTOMATION"}, rmJobParameters},
        {{"/XpNotify", "Local\\zvreq.1"}, rmRequestFile},
        {{"-xpnotify", "s", "/Automation"}, rmRequestFile},
        {{"/AUTOMATIONX"}, rmJobParameters},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunModeFromParameters(c.params), c.mode) << c.params.join(' ').toStdString();
}

// Records every event of a manager as one line each.
class Recorder {
public:
    explicit Recorder(TQuestionManager &m) {
        m.OnJobStarted = [this](TQuestionManager &) { log << "started"; };
        m.OnPresentQuestionSet = [this](TQuestionManager &mgr, TQuestionSet &set,
                                        TWizardDirection d) {
            log << QStringLiteral("%1 %2").arg(d == wdNext ? "next" : "prev",
                                               QString::fromUtf8(set.Title));
            Q_UNUSED(mgr);
        };
        m.OnFinished = [this](TQuestionManager &mgr) {
            log << QStringLiteral("finished busy=%1 sets=%2")
                       .arg(mgr.Busy())
                       .arg(mgr.QuestionSetCount());
        };
        m.OnCancel = [this](TQuestionManager &mgr) {
            log << QStringLiteral("cancel sets=%1").arg(mgr.QuestionSetCount());
        };
        m.OnTimeout = [this](TQuestionManager &mgr) {
            log << QStringLiteral("timeout sets=%1").arg(mgr.QuestionSetCount());
        };
        m.OnActivity = [this](TQuestionManager &) { log << "activity"; };
        m.OnHide = [this](TQuestionManager &) { log << "hide"; };
    }
    QStringList take() {
        QStringList out = log;
        log.clear();
        return out;
    }
    QStringList log;
};

// A request with one set per title; each set has one question of the set's form type.
QString request(const QStringList &titles, const QString &firstFormType = "stringform") {
    QString body;
    for (const QString &t : titles)
        body += "<questionset><formtype>" + (body.isEmpty() ? firstFormType : "stringform") +
                "</formtype><title>" + t + "</title><question><id>" +
                (body.isEmpty() ? firstFormType : "stringform") + "</id></question></questionset>";
    return "<questionsets>" + body + "</questionsets>";
}

class ManagerTest : public ::testing::Test {
protected:
    void load(const QStringList &titles, const QString &firstFormType = "stringform") {
        manager.LoadGuiQuestions(request(titles, firstFormType));
    }
    TQuestionSet *set(int i) { return manager.QuestionSet(i); }

    TQuestionManager manager{Automation};
    Recorder rec{manager};
};

TEST_F(ManagerTest, JobWithoutSetsFinishesAtOnce) {
    manager.Start();
    EXPECT_EQ(rec.take(), QStringList({"started", "finished busy=1 sets=0"}));
    EXPECT_FALSE(manager.Busy());
}

TEST_F(ManagerTest, ForwardToTheEndFinishesAndFreesTheJob) {
    load({"S1", "S2"});
    manager.Start();
    EXPECT_TRUE(manager.Busy());
    EXPECT_EQ(rec.take(), QStringList({"started", "next S1", "activity"}));
    manager.NextSet();
    EXPECT_EQ(rec.take(), QStringList({"next S2", "activity"}));
    manager.NextSet();
    EXPECT_EQ(rec.take(), QStringList({"finished busy=1 sets=2"}));
    EXPECT_FALSE(manager.Busy());
    EXPECT_EQ(manager.QuestionCount(), 0);
    EXPECT_EQ(manager.QuestionSetCount(), 0);
    EXPECT_EQ(manager.FCurrentSet, nullptr);
}

TEST_F(ManagerTest, CancelAndTimeoutRaiseTheirEventBeforeTheJobEnds) {
    for (bool cancel : {true, false}) {
        load({"S1"});
        manager.Start();
        rec.take();
        cancel ? manager.Cancel() : manager.Timeout();
        EXPECT_EQ(rec.take(), QStringList({cancel ? "cancel sets=1" : "timeout sets=1"}));
        EXPECT_FALSE(manager.Busy());
        EXPECT_EQ(manager.QuestionSetCount(), 0);
    }
}

TEST_F(ManagerTest, CancelledJobRecordsItsResponseInTheDocument) {
    load({"S1"});
    manager.OnCancel = [](TQuestionManager &m) { m.RecordResponse(rkCancelled); };
    manager.Start();
    manager.Question(0)->SetAnswer("typed");
    manager.Cancel();
    const QString xml = manager.FQuestionXML.GetXML();
    EXPECT_TRUE(xml.contains("<response>usercancel</response>"));
    EXPECT_TRUE(xml.contains("<answer>typed</answer>"));
}

struct NavCase {
    const char *name;
    QStringList skipped; // titles whose questions are marked skipped before the move
    QString from;        // current set before the move
    bool forward;
    QStringList expected; // events
    QStringList stillSkipped;
};

TEST_F(ManagerTest, NavigationPassesOverSkippedSets) {
    const NavCase cases[] = {
        {"next passes a skipped set", {"S2"}, "S1", true, {"next S3", "activity"}, {"S2"}},
        {"next with only skipped sets left finishes",
         {"S2", "S3"},
         "S1",
         true,
         {"finished busy=1 sets=3"},
         {}},
        {"prev lands on a set that is not skipped", {}, "S3", false, {"prev S2", "activity"}, {}},
        {"prev clears a skipped set and passes it",
         {"S2"},
         "S3",
         false,
         {"prev S1", "activity"},
         {}},
        {"prev clears sets below the target", {"S1"}, "S3", false, {"prev S2", "activity"}, {}},
        {"prev from the first set does nothing", {}, "S1", false, {"activity"}, {}},
        {"prev with everything below skipped", {"S1", "S2"}, "S3", false, {"activity"}, {}},
    };
    for (const NavCase &c : cases) {
        TQuestionManager m(Automation);
        Recorder r(m);
        m.LoadGuiQuestions(request({"S1", "S2", "S3"}));
        m.Start();
        for (int i = 0; i < 3; ++i) {
            TQuestionSet *s = m.QuestionSet(i);
            if (c.skipped.contains(QString::fromUtf8(s->Title)))
                s->SetSkipped(true);
            if (QString::fromUtf8(s->Title) == c.from)
                m.FCurrentSet = s;
        }
        r.take();
        c.forward ? m.NextSet() : m.PrevSet();
        EXPECT_EQ(r.take(), c.expected) << c.name;
        if (!m.Busy())
            continue;
        QStringList skippedNow;
        for (int i = 0; i < 3; ++i) {
            if (m.QuestionSet(i)->AllSkipped())
                skippedNow << QString::fromUtf8(m.QuestionSet(i)->Title);
        }
        EXPECT_EQ(skippedNow, c.stillSkipped) << c.name;
    }
}

TEST_F(ManagerTest, GuestCardJobPassesOverTheGuestSetUntilTheUserSwitches) {
    load({"Guest", "Cost", "Copies"}, "guestcardform");
    ASSERT_TRUE(manager.IsGuestCardJob());
    manager.Start();
    EXPECT_EQ(rec.take(), QStringList({"started", "next Cost", "activity"}));
    EXPECT_TRUE(manager.IsFirstSet(set(1)));
    EXPECT_TRUE(manager.IsLastSet(set(2)));
    EXPECT_FALSE(manager.IsSingleSet());

    manager.SwitchUser();
    EXPECT_TRUE(manager.FGuestMode);
    EXPECT_EQ(rec.take(), QStringList({"next Guest", "activity"}));
    EXPECT_TRUE(manager.IsSingleSet());
    EXPECT_FALSE(manager.IsFirstSet(set(0)));

    manager.SwitchUser();
    EXPECT_EQ(rec.take(), QStringList({"next Cost", "activity"}));
    manager.SwitchUser();
    rec.take();
    manager.NextSet();
    EXPECT_EQ(rec.take(), QStringList({"finished busy=1 sets=3"}));
}

// The job source of a popup-server job whose user is one of the guest accounts.
class GuestAccountSource : public TJobSource {
public:
    void SetUpJob(TQuestionManager &m) override {
        m.LoadGuiQuestions(request({"Guest", "Cost"}, "guestcardform"));
        m.FGuestAccountUser = true;
    }
};

TEST(ManagerJobSource, GuestAccountUserIsAskedOnlyTheGuestCard) {
    TQuestionManager manager({"/zvjob.1"}, std::make_unique<GuestAccountSource>());
    ASSERT_EQ(manager.RunMode(), rmJobParameters);
    Recorder rec(manager);
    manager.Start();
    EXPECT_EQ(rec.take(), QStringList({"started", "next Guest", "activity"}));
    manager.NextSet();
    EXPECT_EQ(rec.take(), QStringList({"finished busy=1 sets=2"}));
}

TEST(ManagerJobSource, StartWithoutASourceSaysSoAndStaysBusy) {
    const struct {
        QStringList params;
        const char *words;
    } cases[] = {
        {{"/zvjob.1"}, "Popup server jobs are not available"},
        {{}, "Popup server jobs are not available"},
        {{"/XpNotify", "Local\\req"}, "Request-file jobs are not available"},
    };
    for (const auto &c : cases) {
        TQuestionManager manager(c.params);
        bool started = false;
        manager.OnJobStarted = [&](TQuestionManager &) { started = true; };
        try {
            manager.Start();
            ADD_FAILURE() << "no error";
        } catch (const zv::ZvError &e) {
            EXPECT_TRUE(e.message().startsWith(c.words)) << e.message().toStdString();
        }
        EXPECT_FALSE(started);
        EXPECT_TRUE(manager.Busy());
    }
}

TEST_F(ManagerTest, FormModesCountOnlyVisibleSets) {
    load({"S1", "S2", "S3"});
    EXPECT_TRUE(manager.IsFirstSet(set(0)));
    EXPECT_TRUE(manager.IsLastSet(set(2)));
    EXPECT_FALSE(manager.IsLastSet(set(1)));
    set(2)->SetSkipped(true);
    EXPECT_TRUE(manager.IsLastSet(set(1)));
    set(1)->SetSkipped(true);
    EXPECT_TRUE(manager.IsSingleSet());
    EXPECT_FALSE(manager.IsFirstSet(set(0)));
    EXPECT_FALSE(manager.IsLastSet(set(0)));
}

TEST_F(ManagerTest, SetCountsAndQuestionTests) {
    manager.LoadGuiQuestions(QStringLiteral(
        "<questionsets><questionset><formtype>balloonform</formtype><question/></questionset>"
        "<questionset><formtype>stringform</formtype><question/><question/></questionset>"
        "</questionsets>"));
    EXPECT_EQ(manager.QuestionSetCount(), 2);
    EXPECT_EQ(manager.VisibleSetCount(), 1);
    EXPECT_FALSE(manager.IsGuestCardJob());
    EXPECT_TRUE(manager.AllQuestionsHaveSaveMode(0));
    manager.Question(1)->SaveLastAnswerMode = 2;
    EXPECT_FALSE(manager.AllQuestionsHaveSaveMode(0));
    EXPECT_EQ(manager.Question(3), nullptr);
    EXPECT_EQ(manager.QuestionSet(-1), nullptr);
}

TEST_F(ManagerTest, HideAndActivityOnlyRaiseTheirEvents) {
    manager.Hide();
    manager.NotifyActivity();
    EXPECT_EQ(rec.take(), QStringList({"hide", "activity"}));
    manager.OnHide = nullptr;
    manager.OnActivity = nullptr;
    manager.Hide();
    manager.NotifyActivity();
    EXPECT_TRUE(rec.take().isEmpty());
}

// A job without a popup server refuses every look-up with one text; only an SQL list refresh
// without a question still counts as activity.
TEST_F(ManagerTest, LookUpsWithoutAPopupServer) {
    load({"Cost"}, "costcenterform");
    TQuestionSet &costSet = *set(0);
    TQuestion &level = *costSet.First();
    TShortCutDef shortcut;
    const std::function<void()> lookUps[] = {
        [&] { manager.LoadHistory(level, nullptr); },
        [&] { manager.SearchCostCenters(level, QStringLiteral("a"), nullptr); },
        [&] { manager.ListLastAnswers(costSet); },
        [&] { manager.CheckCostCenters(costSet, true); },
        [&] { manager.NoCostCentersAvailable(costSet); },
        [&] { manager.RefreshSqlList(&level); },
        [&] { manager.ValidateSelection(costSet); },
        [&] { manager.ShortCutManager(); },
        [&] { manager.ValidateShortcut(shortcut, costSet); },
    };
    EXPECT_FALSE(manager.HasServerLookups());
    for (const auto &lookUp : lookUps) {
        try {
            lookUp();
            ADD_FAILURE() << "no error";
        } catch (const zv::ZvError &e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("Server look-ups exist only in popup server jobs"));
        }
    }
    EXPECT_TRUE(rec.take().isEmpty());
    manager.RefreshSqlList(nullptr);
    EXPECT_EQ(rec.take(), QStringList({"activity"}));
}

// Outside popup-server jobs the request document decides single-click mode; nothing else of
// the job options applies there.
TEST_F(ManagerTest, RequestDocumentSetsTheJobOptions) {
    TJobOptions server;
    server.CostCenterMandatory = true;
    manager.SetJobOptions(server);
    manager.LoadGuiQuestions(QStringLiteral(
        "<questionsets><config><singleclick>TRUE</singleclick></config></questionsets>"));
    TJobOptions expected;
    expected.AutoAdvance = true;
    EXPECT_TRUE(manager.JobOptions() == expected);
    EXPECT_TRUE(manager.SingleClick());
}

TEST(ManagerDefaults, FreshManager) {
    TQuestionManager manager(Automation);
    EXPECT_EQ(manager.FClientWidth, 536);
    EXPECT_EQ(manager.FClientHeight, 382);
    EXPECT_TRUE(manager.FShowChargeBalloon);
    EXPECT_FALSE(manager.FBusy);
    EXPECT_TRUE(manager.FQuestionXML.IsEmpty());
    EXPECT_EQ(manager.GetUserName(), QString());
}

} // namespace

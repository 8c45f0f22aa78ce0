// SPDX-License-Identifier: MIT
// The charge balloon of a popup-server job: when it is due, what it says, and the two ways it
// ends. The server look-ups and the balloon are stand-ins that record what they are asked.
#include "CaptureLog.h"
#include "QuestionManager.h"
#include "ServerLookups.h"
#include "ShortCutManager.h"
#include "TestSupport.h"

#include <QStringList>

namespace {

// Every level offers `codes` codes to the job's user "alice".
class LookupSource : public TJobSource, public TServerLookups {
public:
    void SetUpJob(TQuestionManager &) override {}
    TServerLookups *ServerLookups() override { return this; }
    QString GetUserName() const override { return QStringLiteral("alice"); }

    TCostCenterList FindUserCodes(const QString &category, const QString &, const QString &,
                                  int) override {
        ++finds;
        TCostCenterList list;
        for (int i = 0; i < codes; ++i)
            list.append({category + QString::number(i), QString()});
        return list;
    }
    TCostCenterList ListRecentUserCodes(const QString &, const QString &, int) override {
        return {};
    }
    TCostCenterHistory ListLastAnswers(const QString &, int) override { return {}; }
    QStringList GetSqlList(const QString &, const QString &, const QString &,
                           const QString &) override {
        return {};
    }
    TJobDetails JobDetails() const override { return {}; }
    TShortCutManager &ShortCutManager() override { throw std::logic_error("no shortcuts"); }

    int codes = 2;
    int finds = 0;
};

class RecordingBalloon : public TBalloonNotifier {
public:
    explicit RecordingBalloon(QStringList &log) : m_log(log) {}
    ~RecordingBalloon() override { m_log << QStringLiteral("freed"); }
    void SetVersion(int version) override { m_log << QStringLiteral("version %1").arg(version); }
    void Show() override { m_log << QStringLiteral("icon"); }
    void Hide() override { m_log << QStringLiteral("no icon"); }
    void ShowBalloon(const QString &title, const QString &text, quint8 seconds,
                     int iconKind) override {
        m_log << QStringLiteral("balloon %1|%2|%3s|kind %4")
                     .arg(title, text)
                     .arg(seconds)
                     .arg(iconKind);
    }
    void HideBalloon() override { m_log << QStringLiteral("no balloon"); }

private:
    QStringList &m_log;
};

class ChargeBalloon : public ::testing::Test {
protected:
    ChargeBalloon() {
        auto owned = std::make_unique<LookupSource>();
        source = owned.get();
        manager = std::make_unique<TQuestionManager>(TJobStart{QStringLiteral("/zvjob.1")},
                                                     std::move(owned));
        manager->BalloonFactory = [this] {
            auto balloon = std::make_unique<RecordingBalloon>(log);
            log << QStringLiteral("made");
            return balloon;
        };
        manager->OnChargeToBalloonShow = [this](TQuestionManager &) { log << "host hides"; };
        manager->OnChargeToBalloonTimeout = [this](TQuestionManager &m) {
            log << "host finishes";
            m.Finish();
        };
        manager->OnChargeToBalloonClicked = [this](TQuestionManager &m) {
            log << "host shows the cost centers";
            m.ShowCostCenterForm();
        };
        manager->OnPresentQuestionSet = [this](TQuestionManager &, TQuestionSet &set,
                                               TWizardDirection) {
            log << QStringLiteral("present %1 skip %2")
                       .arg(QString::fromUtf8(set.Name))
                       .arg(set.SkipState);
        };
        manager->OnFinished = [this](TQuestionManager &) { log << "finished"; };
        manager->FBusy = true;
    }

    // A set of the form type with one question per answer.
    TQuestionSet &addSet(const char *name, const char *formType, const QStringList &answers) {
        auto set = std::make_unique<TQuestionSet>();
        set->Name = name;
        set->FormType = formType;
        for (const QString &answer : answers) {
            auto q = std::make_unique<TQuestion>();
            q->FormType = formType;
            q->Name = QStringLiteral("Level%1").arg(set->Count());
            q->Code = q->Name;
            q->SetAnswer(answer);
            set->Add(q.get());
            manager->FQuestionList.push_back(std::move(q));
        }
        manager->FQuestionSetList.push_back(std::move(set));
        return *manager->FQuestionSetList.back();
    }
    // The job at its last set: the next step is the end of the job.
    void atTheEnd() {
        manager->FCurrentSet = manager->QuestionSet(manager->QuestionSetCount() - 1);
        manager->NextSet();
    }
    QStringList take() {
        QStringList out = log;
        log.clear();
        return out;
    }

    zvtest::Sandbox box;
    zvtest::CaptureLog capture;
    LookupSource *source = nullptr;
    std::unique_ptr<TQuestionManager> manager;
    QStringList log;
};

const QString ChargedTo = QStringLiteral("This print job is charged to %1. Click here if you want "
                                         "to change this.");

TEST_F(ChargeBalloon, DueOnlyForACostCenterChosenWithoutTheDialog) {
    const struct {
        const char *what;
        QStringList answers;
        quint8 skipState;
        bool mandatory;
        int codes;
        qint32 dialogTimeout;
        QString shown; // empty: no balloon
    } cases[] = {
        {"remembered answers", {"ACME", "001"}, 1, false, 2, 30, "ACME, 001"},
        {"passed over once", {"ACME", "001"}, 2, false, 2, 30, "ACME, 001"},
        {"answered in the dialog", {"ACME", "001"}, 0, false, 2, 30, ""},
        {"one code each, mandatory", {"ACME", "001"}, 1, true, 1, 30, ""},
        {"one code each, optional", {"ACME", "001"}, 1, false, 1, 30, "ACME, 001"},
        {"several codes, mandatory", {"ACME", "001"}, 1, true, 2, 30, "ACME, 001"},
        {"blank levels name the user", {"", ""}, 1, false, 2, 30, "alice"},
        {"a blank level is left out", {"", "001"}, 1, false, 2, 30, "001"},
        {"300 seconds", {"ACME"}, 1, false, 2, 300, "ACME"},
        {"no time-out", {"ACME"}, 1, false, 2, -1, "ACME"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        manager->ClearQuestions();
        manager->FBalloonShown = false;
        addSet("Copies", FormType::Integer, {"2"});
        addSet("Cost", FormType::CostCenter, c.answers).SkipState = c.skipState;
        addSet("Second", FormType::CostCenter, {"X"}).SkipState = 1;
        TJobOptions options;
        options.CostCenterMandatory = c.mandatory;
        manager->SetJobOptions(options);
        manager->FDialogTimeout = c.dialogTimeout;
        source->codes = c.codes;
        source->finds = 0;
        capture.lines.clear();

        const bool shown = manager->ChargeToBalloonNotify();
        EXPECT_EQ(shown, !c.shown.isEmpty());
        EXPECT_EQ(manager->FBalloonShown, shown);
        // Asked only under the mandatory option, for the first set, until a level has several.
        EXPECT_EQ(source->finds, !c.mandatory ? 0 : c.codes == 1 ? int(c.answers.size()) : 1);
        EXPECT_EQ(capture.has("QuestionManager.ChargeToBalloonNotify no need to present the "
                              "Charge to balloon as only one cost center and mandatory."),
                  c.mandatory && c.codes == 1);
        EXPECT_EQ(capture.has("QuestionManager.ChargeToBalloonNotify charge to user as blank "
                              "cost center."),
                  c.shown == "alice");
        if (!shown) {
            EXPECT_EQ(take(), QStringList());
            continue;
        }
        const int seconds = c.dialogTimeout & 0xFF;
        EXPECT_EQ(take(), QStringList({"made", "version 1", "icon", "host hides",
                                       QStringLiteral("balloon Print Charge Information|%1|%2s|"
                                                      "kind 1")
                                           .arg(ChargedTo.arg(c.shown))
                                           .arg(seconds)}));
        EXPECT_TRUE(capture.has("QuestionManager.ChargeToBalloonNotify about to display the "
                                "balloon message to show user or cost center is charged to."));
        EXPECT_FALSE(manager->ChargeToBalloonNotify()) << "one balloon per job";
        manager->FBalloon.reset();
        take();
    }
}

TEST_F(ChargeBalloon, TimeOutFinishesTheJob) {
    addSet("Cost", FormType::CostCenter, {"ACME", "001"}).SkipState = 1;
    atTheEnd();
    ASSERT_TRUE(manager->Balloon());
    EXPECT_TRUE(manager->Busy()) << "the job waits for the balloon";
    EXPECT_EQ(take().mid(0, 4), QStringList({"made", "version 1", "icon", "host hides"}));

    // As a notifier raises it: a copy, since the handler frees the notifier.
    const auto timeout = manager->Balloon()->OnBalloonTimeout;
    timeout(*manager->Balloon());
    EXPECT_EQ(take(), QStringList({"no balloon", "no icon", "freed", "host finishes", "finished"}));
    EXPECT_FALSE(manager->Busy());
}

TEST_F(ChargeBalloon, ClickShowsTheCostCentersAgainAndTheEndBringsNoSecondBalloon) {
    addSet("Copies", FormType::Integer, {"2"});
    addSet("Cost", FormType::CostCenter, {"ACME", "001"}).SkipState = 1;
    addSet("Comment", FormType::String, {"hi"});
    atTheEnd();
    ASSERT_TRUE(manager->Balloon());
    take();

    const auto click = manager->Balloon()->OnClick;
    click(*manager->Balloon());
    EXPECT_EQ(take(), QStringList({"no balloon", "no icon", "freed", "host shows the cost centers",
                                   "present Cost skip 2"}));
    // The sets after it follow; the last one ends the job.
    manager->NextSet();
    EXPECT_EQ(take(), QStringList({"present Comment skip 0"}));
    manager->NextSet();
    EXPECT_EQ(take(), QStringList({"finished"}));
}

TEST_F(ChargeBalloon, SwitchedOffOrWithoutACostCenterTheJobEndsAtOnce) {
    addSet("Cost", FormType::CostCenter, {"ACME"}).SkipState = 1;
    manager->FShowChargeBalloon = false;
    atTheEnd();
    EXPECT_EQ(take(), QStringList({"finished"}));

    addSet("Copies", FormType::Integer, {"2"});
    manager->FShowChargeBalloon = true;
    atTheEnd();
    EXPECT_EQ(take(), QStringList({"finished"}));
    manager->FBusy = true;
    manager->ShowCostCenterForm();
    EXPECT_TRUE(
        capture.has("QuestionManager.ShowCostCenterForm could not find cost center form to show"));
    EXPECT_EQ(take(), QStringList());
}

} // namespace

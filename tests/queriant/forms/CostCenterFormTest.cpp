// SPDX-License-Identifier: MIT
// The cost-center dialog in a real popup-server job: zvpopupd on the loopback interface serves
// the levels, the history and the checks; the dialog is driven with keys and clicks offscreen.
#include "AniProperty.h"
#include "CaptureLog.h"
#include "CostCenterGrid.h"
#include "CostCenterQuestionFrm.h"
#include "EnhLabeledEdit.h"
#include "FormFactory.h"
#include "FormLook.h"
#include "QuestionFormFixture.h"
#include "QuestionManager.h"
#include "ServerJobFixture.h"
#include "ShortCutManager.h"
#include "ShortcutMngFrm.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QJsonObject cc(const char *code, const char *description, const char *parent = nullptr) {
    QJsonObject o{{"code", code}, {"description", description}};
    if (parent)
        o.insert(QStringLiteral("parent"), parent);
    return o;
}

// Runs step on the modal shortcut manager once it is open.
void onShortcutManager(const std::function<void(TShortcutMngForm &)> &step) {
    QTimer::singleShot(0, [step] {
        auto *manager = qobject_cast<TShortcutMngForm *>(QApplication::activeModalWidget());
        ASSERT_NE(manager, nullptr);
        step(*manager);
    });
}

void rightClick(QAbstractItemView *view, const QModelIndex &index) {
    const QPoint at = view->visualRect(index).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}

// Job option bits of the job announcement.
enum : int {
    optAutoAdvance = 2,
    optAcceptDms = 4,
    optHideShortcuts = 8,
    optSkipHistory = 16,
    optMandatory = 32,
    optShowAll = 64,
};

struct TestShortcut {
    QByteArray name;
    QByteArray id;
    QByteArrayList codes;
    QByteArrayList descriptions;
};

class CostCenterFormTest : public zvtest::ServerJobFixture {
protected:
    void TearDown() override {
        TQuestionForm::CloseForm(std::move(form));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ServerJobFixture::TearDown();
        SetQuestionBoxHandler({});
    }

    QJsonObject scenario(int options) const {
        QJsonArray descriptors{QJsonObject{{"name", "Department"},
                                           {"prompt", "Department"},
                                           {"type", "costcenter"},
                                           {"category", "Dept"}},
                               QJsonObject{{"name", "Project"},
                                           {"prompt", "Project"},
                                           {"type", "costcenter"},
                                           {"category", "Project"}},
                               QJsonObject{{"name", "Comment"},
                                           {"prompt", "Comment"},
                                           {"type", "string"},
                                           {"category", "Comment"}}};
        return QJsonObject{
            {"version", 1005},
            {"queues", QJsonObject{{"Costs", QJsonObject{{"transaction", 5},
                                                         {"options", options},
                                                         {"group", "Costs"},
                                                         {"descriptors", descriptors}}}}},
            {"costCenters",
             QJsonObject{
                 {"Dept", QJsonArray{cc("D100", "Sales"), cc("D200", "Engineering"),
                                     cc("D300", "Finance")}},
                 {"Project",
                  QJsonArray{cc("P110", "Trade fair", "D100"), cc("P120", "Catalogue", "D100"),
                             cc("P210", "Compiler", "D200"), cc("P310", "Audit", "D300")}}}},
            {"recentCodes",
             QJsonObject{{"alice", QJsonObject{{"Dept", QJsonArray{"D200", "D100"}},
                                               {"Project", QJsonArray{"P210", "P110"}}}}}},
            {"lastAnswers",
             QJsonObject{
                 {"alice",
                  QJsonObject{{"Dept", QJsonObject{{"categories", QJsonArray{"Dept", "Project"}},
                                                   {"combinations",
                                                    QJsonArray{QJsonArray{"D200", "P210"},
                                                               QJsonArray{"D100", "P120"}}}}}}}}},
            {"verify", QJsonObject{{"rule", "always"}}}};
    }

    void addShortcuts(const QList<TestShortcut> &list) {
        const auto key =
            zv::ZvRegKey::create(zv::RegRoot::CurrentUser, QString::fromLatin1(ShortcutsKeyName));
        for (const TestShortcut &s : list) {
            TShortCutDef def;
            def.SetID(s.id);
            def.SetCodes(s.codes);
            def.SetDescriptions(s.descriptions);
            key.writeString(QString::fromUtf8(s.name), QString::fromUtf8(def.Serialise()));
        }
    }

    // Starts the job; the cost-center set is presented as the host window presents it.
    void startJob(int options, QJsonObject changes = {}, const QStringList &faults = {}) {
        QJsonObject root = scenario(options);
        for (auto it = changes.begin(); it != changes.end(); ++it)
            root.insert(it.key(), it.value());
        startServer(QJsonDocument(root).toJson(), faults, receiveTimeout);
        if (HasFatalFailure())
            return;
        makeManager("Costs");
        manager->OnPresentQuestionSet = [this](TQuestionManager &m, TQuestionSet &set,
                                               TWizardDirection direction) {
            presented << set.Name;
            if (beforePresent)
                beforePresent(set);
            TQuestionForm::CloseForm(std::move(form));
            form = CreateQuestionForm(QString::fromUtf8(set.FormType), nullptr);
            if (!form)
                form = std::make_unique<TQuestionForm>();
            form->resize(m.FClientWidth, m.FClientHeight);
            TQuestionForm *shown = form.get();
            shown->SetQuestionManager(&m);
            shown->SetQuestionSet(&set);
            if (form.get() != shown)
                return;
            shown->SetFormMode(m.IsLastSet(&set) ? fmLast : fmFirst);
            shown->SetWizardDirection(direction);
            shown->ShowForm();
        };
        manager->OnFinished = [this](TQuestionManager &) { ++finished; };
        manager->Start();
        // Focus changes arrive only in the active window.
        if (form) {
            form->activateWindow();
            for (int i = 0; i < 100 && form && !form->isActiveWindow(); ++i)
                QTest::qWait(10);
        }
    }

    TCostCenterQuestionForm *dialog() {
        return dynamic_cast<TCostCenterQuestionForm *>(form.get());
    }
    void key(QWidget *target, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(target, k, mods);
    }
    // A function key as the host window passes it on.
    void functionKey(int index) {
        int k = Qt::Key_F1 + index;
        dialog()->HostKeyDown(k, Qt::NoModifier);
    }
    void type(int level, const QString &t) {
        dialog()->Search[size_t(level)]->setFocus();
        QTest::keyClicks(dialog()->Search[size_t(level)], t);
    }
    QByteArrayList answers() {
        return {q(QStringLiteral("Department")).GetAnswer().toUtf8(),
                q(QStringLiteral("Project")).GetAnswer().toUtf8()};
    }

    int receiveTimeout = 5;
    std::unique_ptr<TQuestionForm> form;
    std::function<void(TQuestionSet &)> beforePresent;
    QByteArrayList presented;
    int finished = 0;
};

} // namespace

TEST(CostCenterShortcutPane, RowTexts) {
    EXPECT_EQ(ShortcutPaneText(0, "1", QStringLiteral("Office"), false),
              QStringLiteral("F1  Office"));
    EXPECT_EQ(ShortcutPaneText(9, "9", QStringLiteral("Lab"), false), QStringLiteral("F10  Lab"));
    EXPECT_EQ(ShortcutPaneText(2, "10", QStringLiteral("Late"), false),
              QStringLiteral("        Late"));
    EXPECT_EQ(ShortcutPaneText(2, "x", QStringLiteral("Odd"), false),
              QStringLiteral("        Odd"));
    EXPECT_EQ(ShortcutPaneText(1, "2", QStringLiteral("Office"), true),
              QStringLiteral("Office  F2"));
}

TEST_F(CostCenterFormTest, HistoryRowWithEnterAnswersAndChecksTheServer) {
    startJob(0);
    ASSERT_NE(dialog(), nullptr);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_EQ(d.ActiveLevel(), -1);
    EXPECT_EQ(d.HistoryText(), QStringLiteral("Type the Dept / Project codes"));
    EXPECT_EQ(d.GridHeaderText(), QStringLiteral("Most recent Dept / Project selections"));
    EXPECT_EQ(d.GridModel().rowCount(), 2);
    EXPECT_EQ(d.GridModel().columnCount(), 4);
    EXPECT_TRUE(d.Search[0]->isEnabled());
    EXPECT_FALSE(d.Search[1]->isEnabled());
    EXPECT_EQ(d.Search[0]->EditLabel()->text(), QStringLiteral("Dept"));
    // Asked once per user, also when history mode is entered again.
    d.ToggleHistoryOther();
    d.ToggleHistoryOther();
    EXPECT_EQ(requests("received LISTLASTANSWERS"), 1);

    zvtest::CaptureLog log;
    d.DataDG->setFocus();
    d.DataDG->setCurrentIndex(d.GridModel().index(1, 0));
    key(d.DataDG, Qt::Key_Return);
    EXPECT_EQ(answers(), QByteArrayList({"D100", "P120"}));
    EXPECT_EQ(q(QStringLiteral("Project")).AnswerDescription, QByteArray("Catalogue"));
    EXPECT_TRUE(log.mentions(
        "CostCenterFrm Complete Answers: Answers given: D100 / Sales P120 / Catalogue "));
    // Enter in the grid completes automatically: the job moves on to the next set.
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
    EXPECT_GE(requests("received FINDUSERCODES [alice|Project|P120|D100|"), 1);
}

TEST_F(CostCenterFormTest, SearchLevelByLevel) {
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    // Typing into the first level leaves history mode; that level's recent codes show.
    type(0, QStringLiteral("d1"));
    EXPECT_EQ(d.ActiveLevel(), 0);
    EXPECT_EQ(d.GridHeaderText(), QStringLiteral("Most recent Dept selections"));
    // A single exact match moves to the next level.
    dialog()->Search[0]->setText(QStringLiteral("d100"));
    key(d.Search[0], Qt::Key_Return);
    EXPECT_EQ(d.ActiveLevel(), 1);
    EXPECT_EQ(q(QStringLiteral("Department")).GetAnswer(), QStringLiteral("D100"));
    EXPECT_EQ(d.HistoryText(), QStringLiteral("D100 Sales"));
    EXPECT_EQ(requests("received LISTRECENTUSERCODES [alice|Project|D100|25]"), 1);

    // No match: the empty-search header names the level and the edit keeps the focus.
    type(1, QStringLiteral("zz"));
    key(d.Search[1], Qt::Key_Return);
    EXPECT_EQ(d.GridHeaderText(), QStringLiteral("No matching Project found. Try again."));
    EXPECT_EQ(d.GridModel().rowCount(), 0);

    // Several matches: the grid takes the focus; a pick with Enter completes.
    d.Search[1]->clear();
    type(1, QStringLiteral("p1*"));
    key(d.Search[1], Qt::Key_Return);
    EXPECT_EQ(d.GridModel().rowCount(), 2);
    EXPECT_EQ(d.FocusToControl(), d.DataDG);
    d.DataDG->setCurrentIndex(d.GridModel().index(1, 0));
    key(d.DataDG, Qt::Key_Return);
    EXPECT_EQ(answers(), QByteArrayList({"D100", "P120"}));
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
}

TEST_F(CostCenterFormTest, ExactMatchOnTheLastLevelWaitsForNextUnlessSingleClick) {
    for (const int options : {0, int(optAutoAdvance)}) {
        SCOPED_TRACE(options);
        TearDown();
        presented.clear();
        startJob(options);
        TCostCenterQuestionForm &d = *dialog();
        type(0, QStringLiteral("D200"));
        key(d.Search[0], Qt::Key_Return);
        type(1, QStringLiteral("p210"));
        key(d.Search[1], Qt::Key_Return);
        EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
        if (options == 0) {
            EXPECT_EQ(presented.last(), QByteArray("Project"));
            EXPECT_TRUE(d.NextBtn->isEnabled());
            d.NextBtn->click();
        }
        EXPECT_EQ(presented.last(), QByteArray("Comment"));
    }
}

TEST_F(CostCenterFormTest, EmptyingEditsAndMovingBack) {
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    type(0, QStringLiteral("D200"));
    key(d.Search[0], Qt::Key_Return);
    ASSERT_EQ(d.ActiveLevel(), 1);
    type(1, QStringLiteral("P"));
    // Backspace at the start of the second level goes back to the first.
    d.Search[1]->setCursorPosition(0);
    key(d.Search[1], Qt::Key_Backspace);
    EXPECT_EQ(d.ActiveLevel(), 0);
    // Emptying the active level clears the deeper ones.
    d.Search[0]->selectAll();
    key(d.Search[0], Qt::Key_Delete);
    EXPECT_TRUE(d.Search[1]->text().isEmpty());
    EXPECT_FALSE(d.Search[1]->isEnabled());
    EXPECT_TRUE(q(QStringLiteral("Department")).IsAnswerEmpty());
    EXPECT_EQ(d.ActiveLevel(), 0);
    // Escape goes back to history; emptying the first level in history mode reloads it.
    key(d.Search[0], Qt::Key_Escape);
    EXPECT_EQ(d.ActiveLevel(), -1);
    EXPECT_EQ(d.GridModel().columnCount(), 4);
}

TEST_F(CostCenterFormTest, FunctionKeysApplyShortcuts) {
    addShortcuts({{"Fair", "1", {"D100", "P110"}, {"Sales", "Trade fair"}},
                  {"Lab", "2", {"D200", "P210"}, {"Engineering", "Compiler"}}});
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_EQ(d.ShortCutsDG->model()->rowCount(), 2);
    EXPECT_EQ(d.ShortCutsDG->model()->index(0, 0).data().toString(), QStringLiteral("F1  Fair"));
    // F3 with two shortcuts does nothing.
    functionKey(2);
    EXPECT_EQ(answers(), QByteArrayList({"", ""}));
    EXPECT_EQ(presented.last(), QByteArray("Project"));
    functionKey(1);
    EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
}

TEST_F(CostCenterFormTest, ThirdShortcutByF3AndTheIncompleteOne) {
    addShortcuts({{"A", "1", {"D100", "P110"}, {"Sales", "Trade fair"}},
                  {"B", "2", {"D200"}, {"Engineering"}},
                  {"C", "3", {"D300", "P310"}, {"Finance", "Audit"}}});
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    functionKey(1);
    EXPECT_EQ(d.ErrorText(), QStringLiteral("Shortcut \"B\" is incomplete."));
    EXPECT_EQ(presented.last(), QByteArray("Project"));
    EXPECT_TRUE(q(QStringLiteral("Project")).IsAnswerEmpty());
    functionKey(2);
    EXPECT_EQ(answers(), QByteArrayList({"D300", "P310"}));
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
}

TEST_F(CostCenterFormTest, HiddenShortcutsIgnoreFunctionKeys) {
    addShortcuts({{"A", "1", {"D100", "P110"}, {"Sales", "Trade fair"}}});
    startJob(optHideShortcuts);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_FALSE(d.ShortcutPnl->isVisibleTo(&d));
    functionKey(0);
    EXPECT_EQ(answers(), QByteArrayList({"", ""}));
    rightClick(d.DataDG, d.GridModel().index(0, 0));
    EXPECT_FALSE(d.ShortCutPopup->isVisible());
}

TEST_F(CostCenterFormTest, ShortcutPreviewRestoresTheHeader) {
    addShortcuts({{"A", "1", {"D100", "P110"}, {"Sales", "Trade fair"}},
                  {"B", "2", {"D200", "P210"}, {"Engineering", "Compiler"}}});
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    d.show();
    d.activateWindow();
    const QString prompt = d.HistoryText();
    d.ShortCutsDG->setFocus();
    d.ShortCutsDG->setCurrentIndex(d.ShortCutsDG->model()->index(1, 0));
    EXPECT_EQ(d.HistoryText(), QStringLiteral("D200 Engineering / P210 Compiler"));
    key(d.ShortCutsDG, Qt::Key_Escape);
    EXPECT_EQ(d.focusWidget(), d.Search[0]);
    EXPECT_EQ(d.HistoryText(), prompt);
}

TEST_F(CostCenterFormTest, NoCostCentersSkipsUnlessMandatory) {
    const QJsonObject none{{"costCenters", QJsonObject{}}};
    startJob(0, none);
    EXPECT_EQ(presented, QByteArrayList({"Project", "Comment"}));
    EXPECT_EQ(answers(), QByteArrayList({"", ""}));

    TearDown();
    presented.clear();
    startJob(optMandatory, none);
    EXPECT_EQ(presented, QByteArrayList({"Project"}));
    ASSERT_NE(dialog(), nullptr);
    dialog()->NextBtn->click();
    EXPECT_EQ(dialog()->ErrorText(),
              QStringLiteral("Cost Center question is not fully answered. Answer for Dept is "
                             "blank"));
}

TEST_F(CostCenterFormTest, AllLevelsFixedAreFilledAndSkipped) {
    // Auto-select-single is flag bit 2 of each descriptor.
    QJsonObject queues = scenario(0).value(QStringLiteral("queues")).toObject();
    QJsonObject costs = queues.value(QStringLiteral("Costs")).toObject();
    QJsonArray descriptors = costs.value(QStringLiteral("descriptors")).toArray();
    for (int i = 0; i < 2; ++i) {
        QJsonObject d = descriptors[i].toObject();
        d.insert(QStringLiteral("options"), 4);
        descriptors[i] = d;
    }
    costs.insert(QStringLiteral("descriptors"), descriptors);
    queues.insert(QStringLiteral("Costs"), costs);
    startJob(0,
             {{"queues", queues},
              {"costCenters", QJsonObject{{"Dept", QJsonArray{cc("D900", "Only")}},
                                          {"Project", QJsonArray{cc("P900", "Single", "D900")}}}}});
    EXPECT_EQ(presented, QByteArrayList({"Project", "Comment"}));
    EXPECT_EQ(answers(), QByteArrayList({"D900", "P900"}));
    EXPECT_EQ(q(QStringLiteral("Project")).AnswerDescription, QByteArray("Single"));
}

TEST_F(CostCenterFormTest, OwnAccountQuestion) {
    QStringList asked;
    bool reply = false;
    SetQuestionBoxHandler([&](QWidget *, const QString &t) {
        asked << t;
        return reply;
    });
    startJob(0);
    dialog()->NextBtn->click();
    EXPECT_EQ(asked, QStringList({QStringLiteral("There is no Cost Center selected. Do you want "
                                                 "to charge this job to your own account?")}));
    EXPECT_EQ(presented.last(), QByteArray("Project"));
    reply = true;
    dialog()->NextBtn->click();
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
}

TEST_F(CostCenterFormTest, DmsProposalYesAndNo) {
    for (bool accept : {true, false}) {
        SCOPED_TRACE(accept);
        TearDown();
        presented.clear();
        beforePresent = [](TQuestionSet &set) {
            if (set.FormType != FormType::CostCenter)
                return;
            set.Question(0)->DmsValue = "D200";
            set.Question(1)->DmsValue = "P210";
        };
        startJob(0);
        TCostCenterQuestionForm &d = *dialog();
        ASSERT_TRUE(d.DmsPromptShown());
        EXPECT_TRUE(d.YesBtn->isVisibleTo(&d));
        EXPECT_FALSE(d.DataPnl->isVisibleTo(&d));
        if (accept) {
            d.YesBtn->click();
            EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
            EXPECT_EQ(presented.last(), QByteArray("Comment"));
        } else {
            d.NoBtn->click();
            EXPECT_FALSE(d.DmsPromptShown());
            EXPECT_TRUE(d.DataPnl->isVisibleTo(&d));
            EXPECT_EQ(answers(), QByteArrayList({"", ""}));
            EXPECT_TRUE(q(QStringLiteral("Department")).DmsValue.isEmpty());
            EXPECT_EQ(d.ActiveLevel(), -1);
            EXPECT_EQ(d.focusWidget(), d.Search[0]);
            key(d.Search[0], Qt::Key_Down);
            key(d.DataDG, Qt::Key_Return);
            EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
        }
    }
}

TEST_F(CostCenterFormTest, DmsValueTheServerDoesNotKnow) {
    beforePresent = [](TQuestionSet &set) {
        if (set.FormType != FormType::CostCenter)
            return;
        set.Question(0)->DmsValue = "D200";
        set.Question(1)->DmsValue = "P999";
    };
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_FALSE(d.DmsPromptShown());
    EXPECT_EQ(d.HistoryText().left(30), QStringLiteral("Type the Dept / Project codes"));
}

TEST_F(CostCenterFormTest, CollapsedPaneIsKeptForTheNextDialog) {
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_FALSE(d.ShortcutsCollapsed());
    d.SlideShortcuts();
    for (int i = 0; i < 300 && d.AniProperty1->isRunning(); ++i)
        QTest::qWait(5);
    EXPECT_TRUE(d.ShortcutsCollapsed());
    EXPECT_TRUE(d.ExpandImg->isVisibleTo(&d));
    TQuestionForm::CloseForm(std::move(form));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TCostCenterQuestionForm next;
    EXPECT_TRUE(next.ShortcutsCollapsed());
}

TEST_F(CostCenterFormTest, TooManyLevelsAreRefused) {
    startJob(0);
    TQuestionSet set;
    std::vector<std::unique_ptr<TQuestion>> levels;
    for (int i = 0; i < 11; ++i) {
        levels.push_back(std::make_unique<TQuestion>());
        levels.back()->FormType = FormType::CostCenter;
        levels.back()->Code = QStringLiteral("L%1").arg(i);
        set.Add(levels.back().get());
    }
    set.FormType = FormType::CostCenter;
    TCostCenterQuestionForm d;
    d.SetQuestionManager(manager.get());
    try {
        d.SetQuestionSet(&set);
        FAIL() << "eleven levels accepted";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("A cost center question set has 11 levels; at most 10 can be "
                                 "shown"));
    }
}

// A request document has no server: the levels are plain edits and nothing is looked up.
// The grid is read under its header with the instruction above it, both as they change; the
// shortcuts pane under its own header.
TEST_F(CostCenterFormTest, GridsAreNamedAfterWhatTheyShow) {
    startJob(0);
    ASSERT_NE(dialog(), nullptr);
    TCostCenterQuestionForm &d = *dialog();
    const auto text = [](QWidget *w, QAccessible::Text t) {
        return QAccessible::queryAccessibleInterface(w)->text(t);
    };
    EXPECT_EQ(text(d.DataDG, QAccessible::Name),
              QStringLiteral("Most recent Dept / Project selections"));
    EXPECT_EQ(text(d.DataDG, QAccessible::Description),
              QStringLiteral("Type the Dept / Project codes"));
    EXPECT_EQ(text(d.ShortCutsDG, QAccessible::Name), QStringLiteral("Shortcuts"));
    EXPECT_EQ(text(d.ShortCutsDG, QAccessible::Description),
              QStringLiteral("Your saved Dept / Project combinations"));
    type(0, QStringLiteral("X999"));
    key(d.Search[0], Qt::Key_Return);
    EXPECT_EQ(text(d.DataDG, QAccessible::Name),
              QStringLiteral("No matching Dept found. Try again."));
}

TEST(CostCenterFormPlain, RequestDocumentLevelsArePlainEdits) {
    FormJob job;
    TQuestionSet &set = job.set(FormType::CostCenter, 2);
    set.Question(0)->Code = QStringLiteral("Client");
    set.Question(1)->Code = QStringLiteral("Matter");
    job.start();
    auto &d = job.as<TCostCenterQuestionForm>();
    job.activate();
    EXPECT_TRUE(d.PlainLevels());
    EXPECT_FALSE(d.DataPnl->isVisibleTo(&d));
    EXPECT_FALSE(d.ShortcutPnl->isVisibleTo(&d));
    EXPECT_TRUE(d.Search[1]->isEnabled());
    QTest::keyClicks(d.Search[0], QStringLiteral("C-1"));
    QTest::keyClick(d.Search[0], Qt::Key_Return);
    EXPECT_TRUE(d.Search[1]->hasFocus());
    // Incomplete: the second level is named.
    QTest::keyClick(d.Search[1], Qt::Key_Return);
    EXPECT_EQ(d.ErrorText(), QStringLiteral("Cost Center question is not fully answered. Answer "
                                            "for Matter is blank"));
    QTest::keyClicks(d.Search[1], QStringLiteral("M-7"));
    EXPECT_EQ(set.Question(0)->GetAnswer(), QStringLiteral("C-1"));
    EXPECT_EQ(set.Question(1)->GetAnswer(), QStringLiteral("M-7"));
    QTest::keyClick(d.Search[1], Qt::Key_Return);
    EXPECT_EQ(job.finished, 1);
}

// A look-up answer whose lists do not match: every code gets a row, a missing description is
// empty, an empty code cannot complete a level.
TEST_F(CostCenterFormTest, MismatchedLookupAnswer) {
    startJob(0, {{"overrides", QJsonObject{{"LISTRECENTUSERCODES",
                                            QJsonArray{"dbok", "D100\r\n\r\nD200", "Sales"}}}}});
    TCostCenterQuestionForm &d = *dialog();
    d.ToggleHistoryOther();
    ASSERT_EQ(d.ActiveLevel(), 0);
    ASSERT_EQ(d.GridModel().rowCount(), 3);
    EXPECT_EQ(d.GridModel().CostCenterAt(0, 0).Description, QStringLiteral("Sales"));
    EXPECT_EQ(d.GridModel().CostCenterAt(2, 0).Description, QString());
    d.AcceptRow(1, false);
    EXPECT_EQ(d.ActiveLevel(), 1);
    EXPECT_TRUE(q(QStringLiteral("Department")).IsAnswerEmpty());
    SetQuestionBoxHandler([](QWidget *, const QString &) { return false; });
    d.NextBtn->click();
    EXPECT_EQ(presented.last(), QByteArray("Project"));
}

// The server drops the connection in the middle of a search: the message shows, the dialog
// stays and the level answered before keeps its code.
TEST_F(CostCenterFormTest, ConnectionLostDuringALookup) {
    startJob(0, {},
             {QStringLiteral("--fault"), QStringLiteral("close-mid-body"),
              QStringLiteral("--fault-verb"), QStringLiteral("LISTRECENTUSERCODES")});
    TCostCenterQuestionForm &d = *dialog();
    d.AcceptRow(0, false);
    ASSERT_EQ(answers(), QByteArrayList({"D200", "P210"}));
    d.ToggleHistoryOther();
    EXPECT_FALSE(d.ErrorText().isEmpty());
    EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
    EXPECT_EQ(presented.last(), QByteArray("Project"));
    EXPECT_EQ(d.ActiveLevel(), 0);
}

// More look-up answers a faulty server gives: whatever can be shown is, a failure shows its
// message, nothing waits past the time-out and the answers given before stay.
TEST_F(CostCenterFormTest, BadLookupAnswers) {
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("C%1").arg(i);
    const QString manyCodes = many.join(QStringLiteral("\r\n"));
    const QStringList silent{QStringLiteral("--fault"), QStringLiteral("silent"),
                             QStringLiteral("--fault-verb"), QStringLiteral("LISTRECENTUSERCODES")};
    const struct {
        const char *name;
        QJsonArray answer; // the fields of LISTRECENTUSERCODES's answer; empty: the scenario's
        QStringList faults;
        int rows;
        TCostCenter first; // the first row
        QString error;     // start of the error line
        QString logged = {};
    } cases[] = {
        {"more descriptions than codes",
         {"dbok", "D100", "Sales\r\nSpare"},
         {},
         1,
         {"D100", "Sales"},
         "",
         "LISTRECENTUSERCODES answered 1 codes and 2 descriptions"},
        {"100,000 codes", {"dbok", manyCodes}, {}, 100000, {"C0", ""}, ""},
        // The form feed separates fields: the rest of the code becomes the descriptions.
        {"form feed in a code",
         {"dbok", "D1\fD2\r\nD300", "Sales\r\nFinance"},
         {},
         1,
         {"D1", "D2"},
         ""},
        {"CR LF in a code",
         {"dbok", "D1\r\n00", "Sales"},
         {},
         2,
         {"D1", "Sales"},
         "",
         "LISTRECENTUSERCODES answered 2 codes and 1 descriptions"},
        {"no answer within the time-out",
         {},
         silent,
         0,
         {},
         QStringLiteral("Connection timed out. No response")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        presented.clear();
        receiveTimeout = 1;
        QJsonObject changes;
        if (!c.answer.isEmpty())
            changes.insert(QStringLiteral("overrides"),
                           QJsonObject{{"LISTRECENTUSERCODES", c.answer}});
        startJob(0, changes, c.faults);
        TCostCenterQuestionForm &d = *dialog();
        d.AcceptRow(0, false);
        ASSERT_EQ(answers(), QByteArrayList({"D200", "P210"}));
        zvtest::CaptureLog log;
        QElapsedTimer clock;
        clock.start();
        d.ToggleHistoryOther();
        // Not a speed check: a look-up that retried or waited twice would show here.
        EXPECT_LT(clock.elapsed(), 1000 * receiveTimeout + 10000);
        EXPECT_EQ(d.ActiveLevel(), 0);
        EXPECT_EQ(d.GridModel().rowCount(), c.rows);
        EXPECT_EQ(d.GridModel().CostCenterAt(0, 0), c.first);
        if (c.error.isEmpty())
            EXPECT_EQ(d.ErrorText(), QString());
        else
            EXPECT_TRUE(d.ErrorText().startsWith(c.error)) << d.ErrorText().toStdString();
        if (!c.logged.isEmpty()) {
            EXPECT_TRUE(log.mentions(c.logged)) << log.lines.join('\n').toStdString();
        }
        EXPECT_EQ(answers(), QByteArrayList({"D200", "P210"}));
        EXPECT_EQ(presented.last(), QByteArray("Project"));
    }
}

// "Add to Shortcuts" on a history row and the "Shortcuts" header open the shortcut manager;
// the pane shows what it saved, and F1 applies it.
TEST_F(CostCenterFormTest, ShortcutManagerFromTheHistoryMenuAndTheHeader) {
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    ASSERT_EQ(d.ShortCutsDG->model()->rowCount(), 0);
    rightClick(d.DataDG, d.GridModel().index(1, 1));
    EXPECT_EQ(d.DataDG->currentIndex().row(), 1);
    EXPECT_TRUE(d.ShortCutPopup->isVisible());
    d.ShortCutPopup->hide();
    onShortcutManager([](TShortcutMngForm &m) {
        EXPECT_EQ(m.NameEdt->text(), QStringLiteral("New Shortcut1"));
        EXPECT_EQ(m.CatEdt[0]->text(), QStringLiteral("D100"));
        EXPECT_EQ(m.CatEdt[1]->text(), QStringLiteral("P120"));
        m.SaveBtn->click();
    });
    d.AddtoShortcuts1->trigger();
    ASSERT_EQ(d.ShortCutsDG->model()->rowCount(), 1);
    EXPECT_EQ(d.ShortCutsDG->model()->index(0, 0).data().toString(),
              QStringLiteral("F1  New Shortcut1"));

    onShortcutManager([](TShortcutMngForm &m) {
        m.NameEdt->selectAll();
        QTest::keyClicks(m.NameEdt, QStringLiteral("Fair"));
        m.SaveBtn->click();
    });
    QTest::mouseClick(d.ShortCutHeaderLbl, Qt::LeftButton);
    EXPECT_EQ(d.ShortCutsDG->model()->index(0, 0).data().toString(), QStringLiteral("F1  Fair"));
    functionKey(0);
    EXPECT_EQ(answers(), QByteArrayList({"D100", "P120"}));
    EXPECT_EQ(presented.last(), QByteArray("Comment"));
}

// Right to left: the dialog mirrored (handle at the left edge, the grid at the right), the
// levels named with backslashes, search results right-aligned in the dialog's colours.
TEST_F(CostCenterFormTest, RightToLeftLayoutAndGrid) {
    struct RightToLeft {
        RightToLeft() { SetRightToLeftLayout(true); }
        ~RightToLeft() { SetRightToLeftLayout(false); }
    } rightToLeft;
    startJob(0);
    TCostCenterQuestionForm &d = *dialog();
    EXPECT_EQ(d.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(d.HistoryText(), QStringLiteral("Type the Dept \\ Project codes"));
    EXPECT_LT(d.SlideBtnPnl->x(), d.ShortcutPnl->x());
    EXPECT_LT(d.ShortcutPnl->x(), d.DataPnl->x());
    EXPECT_GT(d.Search[0]->x(), d.Search[1]->x());

    d.ToggleHistoryOther();
    ASSERT_EQ(d.GridModel().rowCount(), 2);
    d.DataDG->setFocus();
    d.DataDG->setCurrentIndex(d.GridModel().index(0, 0));
    const QImage image = d.DataDG->viewport()->grab().toImage();
    // The last column reaches past the grid's edge.
    const QRect description =
        d.DataDG->visualRect(d.GridModel().index(1, 1)).intersected(image.rect());
    int leftmost = image.width();
    int rightmost = -1;
    for (int x = description.left(); x <= description.right(); ++x)
        for (int y = description.top(); y <= description.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 100) {
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
    ASSERT_GE(rightmost, 0) << "no text drawn";
    EXPECT_GE(rightmost, description.right() - 8) << "right-aligned with a 4-pixel inset";
    EXPECT_LE(rightmost, description.right() - 3);
    EXPECT_GT(leftmost, description.center().x());
    const QPoint blank(description.left() + 2, description.center().y());
    EXPECT_EQ(image.pixelColor(blank), QColor(0xFF, 0xFF, 0xFF)) << "odd row";
    const QRect current = d.DataDG->visualRect(d.GridModel().index(0, 1)).intersected(image.rect());
    EXPECT_EQ(image.pixelColor(current.left() + 2, current.center().y()), QColor(0xFF, 0xCC, 0x9A))
        << "the current row of the focused grid";
}

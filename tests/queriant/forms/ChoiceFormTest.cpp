// SPDX-License-Identifier: MIT
// The choice dialogs in a real question manager, shown as the host shows them.
#include "QuestionFormFixture.h"

#include "AlignLabel.h"
#include "ButtonQuestionFrm.h"
#include "ChoiceGrid.h"
#include "ChoiceListModel.h"
#include "ComboQuestionFrm.h"
#include "FormLook.h"
#include "GuestCardQuestionFrm.h"
#include "ListQuestionFrm.h"
#include "RadioQuestionFrm.h"
#include "SQLListQuestionFrm.h"
#include "StringQuestionFrm.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString Mandatory = QStringLiteral("You are required to provide an answer.");
const QByteArray Separator = "----<><>----";

// A job of sets of the given form types, each with one question.
struct ChoiceJob : FormJob {
    explicit ChoiceJob(std::initializer_list<const char *> formTypes) {
        for (const char *formType : formTypes)
            sets.push_back(&set(formType));
    }
    TQuestion &q(int i) { return *sets[size_t(i)]->First(); }
    // The job's single-click option (a server's AutoAdvance, a document's singleclick).
    void singleClick() {
        TJobOptions options = manager.JobOptions();
        options.AutoAdvance = true;
        manager.SetJobOptions(options);
    }
    std::vector<TQuestionSet *> sets;
};

QByteArrayList numbered(const char *prefix, int n) {
    QByteArrayList values;
    for (int i = 0; i < n; ++i)
        values.append(QByteArray(prefix) + QByteArray::number(i).rightJustified(3, '0'));
    return values;
}

} // namespace

TEST(ChoiceForms, DataTypeFailures) {
    const struct {
        const char *formType;
        QString message;
    } cases[] = {
        {FormType::Button, "Question datatype must be a dtButton type"},
        {FormType::Combo, "Question datatype must be a dtCombo type"},
        {FormType::Radio, "Question datatype must be a dtRadio type"},
        {FormType::List, "Question datatype must be a dtList or dtSQLList type"},
        {FormType::SqlList, "Question datatype must be a dtList or dtSQLList type"},
        {FormType::GuestCard, "Question datatype must be a dtList or dtSQLList type"},
    };
    for (const auto &c : cases) {
        FormJob job;
        TQuestionSet &wrong = job.set(FormType::String);
        auto form = CreateQuestionForm(QString::fromUtf8(c.formType), nullptr);
        ASSERT_TRUE(form) << c.formType;
        form->SetQuestionManager(&job.manager);
        try {
            form->SetQuestionSet(&wrong);
            ADD_FAILURE() << c.formType << " accepted a string set";
        } catch (const zv::ZvError &e) {
            EXPECT_EQ(e.message(), c.message) << c.formType;
        }
        EXPECT_FALSE(form->Loading());
    }
}

// ---- Buttons ---------------------------------------------------------------------------------

TEST(ButtonQuestionForm, ButtonRow) {
    const struct {
        const char *name;
        int count, widest, clientWidth;
        TButtonRow row;
    } cases[] = {
        {"five wide texts on 536 pixels", 5, 200, 536, {94, 22}},
        {"narrow texts take the minimum width", 3, 40, 536, {75, 283}},
        {"natural width when it fits", 2, 150, 536, {158, 200}},
        {"one button", 1, 0, 536, {75, 449}},
    };
    for (const auto &c : cases) {
        const TButtonRow row = ButtonRowFor(c.count, c.widest, c.clientWidth);
        EXPECT_EQ(row.width, c.row.width) << c.name;
        EXPECT_EQ(row.firstLeft, c.row.firstLeft) << c.name;
    }
}

TEST(ButtonQuestionForm, FiveButtonsReplaceCancelAndAClickMovesOn) {
    ChoiceJob job({FormType::Button, FormType::String});
    TQuestion &q = job.q(0);
    q.Mandatory = true;
    q.Choices = {"1", "2", "3", "4", "5"};
    for (int i = 0; i < 5; ++i)
        q.Captions.append(QByteArray(30, char('A' + i)));
    q.DefaultAnswer = QStringLiteral("3");
    q.ResetAnswer();
    job.start();
    auto &form = job.as<TButtonQuestionForm>();
    ASSERT_EQ(form.AnswerButtons.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const QRect r = form.AnswerButtons[i]->geometry();
        EXPECT_EQ(r, QRect(22 + i * 102, 382 - 25 - 8, 94, 25)) << i;
        EXPECT_EQ(form.AnswerButtons[i]->property("tag").toInt(), i);
    }
    EXPECT_TRUE(form.CancelBtn->isHidden());
    EXPECT_TRUE(form.NextBtn->isHidden()) << "no next button for buttons in the first set";
    EXPECT_EQ(form.FocusToControl(), form.AnswerButtons[2]);
    EXPECT_TRUE(form.AnswerButtons[2]->isDefault()) << "the answer is also the default";

    form.AnswerButtons[3]->click();
    EXPECT_EQ(q.GetAnswer(), QLatin1String("4"));
    ASSERT_EQ(job.presented.size(), 2u) << "the hidden next button's click still runs";
    EXPECT_EQ(job.presented.back(), job.sets[1]);
}

TEST(ButtonQuestionForm, FocusWithoutTheDefaultAndInTheLastSet) {
    ChoiceJob job({FormType::String, FormType::Button});
    TQuestion &q = job.q(1);
    q.Choices = {"Yes", "No"};
    q.DefaultAnswer = QStringLiteral("Yes");
    q.ResetAnswer();
    q.SetAnswer(QStringLiteral("No"));
    job.start();
    job.form->NextBtnClick();
    auto &form = job.as<TButtonQuestionForm>();
    EXPECT_EQ(form.FocusToControl(), form.AnswerButtons[1]);
    EXPECT_FALSE(form.AnswerButtons[1]->isDefault()) << "No is not the default answer";
    EXPECT_FALSE(form.NextBtn->isHidden()) << "the last set shows its print or OK button";

    form.AnswerButtons[0]->click();
    EXPECT_EQ(q.GetAnswer(), QLatin1String("Yes"));
    EXPECT_EQ(job.finished, 0) << "without single-click a click only selects";
    form.NextBtn->click();
    EXPECT_EQ(job.finished, 1);

    ChoiceJob single({FormType::String, FormType::Button});
    single.singleClick();
    single.q(1).Choices = {"Yes", "No"};
    QString answered;
    single.manager.OnFinished = [&](TQuestionManager &) { answered = single.q(1).GetAnswer(); };
    single.start();
    single.form->NextBtnClick();
    single.as<TButtonQuestionForm>().AnswerButtons[1]->click();
    EXPECT_EQ(answered, QLatin1String("No")) << "single-click finishes the job";
}

TEST(ButtonQuestionForm, ScreenReaderFile) {
    ChoiceJob job({FormType::Button});
    JawsUser jaws(job.box);
    TQuestion &q = job.q(0);
    q.Prompt = QStringLiteral("Print (colour)\nit's fine?");
    q.Description = QStringLiteral("Costs (more)");
    q.Mandatory = true;
    q.Choices = {"A"};
    job.start();
    EXPECT_EQ(jaws.read("JAWSForQueriantButtonQuestionForm.ini"),
              "[ButtonQuestionScreen]\r\nTitle=Print Job Details\r\nQuestion=Print colour its "
              "fine?\r\nDescription=Costs more\r\n");
}

// ---- Drop-down ---------------------------------------------------------------------------------

TEST(ComboQuestionForm, UnmatchedAnswerShowsTheFirstItemAndStaysEmpty) {
    ChoiceJob job({FormType::Combo, FormType::String});
    TQuestion &q = job.q(0);
    q.Mandatory = true;
    q.Choices = {"lp1", "lp2", "lp3"};
    q.Captions = {"First floor", "Second floor", ""};
    q.DefaultAnswer = QStringLiteral("lp9");
    q.ResetAnswer();
    job.start();
    auto &form = job.as<TComboQuestionForm>();
    EXPECT_EQ(form.AnswerCombo->currentText(), QLatin1String("First floor"));
    EXPECT_EQ(form.AnswerCombo->itemText(2), QLatin1String("lp3")) << "no caption: the value";
    EXPECT_EQ(q.GetAnswer(), QLatin1String("lp9"));
    q.SetAnswer(QString());
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(form.ErrorText(), Mandatory);

    QTest::keyClick(form.AnswerCombo, Qt::Key_Down);
    EXPECT_EQ(q.GetAnswer(), QLatin1String("lp2")) << "the value, not the caption";
    EXPECT_TRUE(form.ValidateAnswers());
    EXPECT_EQ(job.presented.size(), 1u) << "no single-click: no move";

    job.singleClick();
    QTest::keyClick(form.AnswerCombo, Qt::Key_Down);
    EXPECT_EQ(q.GetAnswer(), QLatin1String("lp3"));
    EXPECT_EQ(job.presented.size(), 2u);
}

TEST(ComboQuestionForm, MatchingAnswerIsSelected) {
    ChoiceJob job({FormType::Combo});
    job.q(0).Choices = {"a", "b"};
    job.q(0).SetAnswer(QStringLiteral("b"));
    job.start();
    EXPECT_EQ(job.as<TComboQuestionForm>().AnswerCombo->currentIndex(), 1);
    EXPECT_EQ(job.form->FocusToControl(), job.as<TComboQuestionForm>().AnswerCombo);
}

// ---- Radio group -------------------------------------------------------------------------------

TEST(RadioQuestionForm, ColumnsWidthAndChoice) {
    const struct {
        int answers, columns, width;
    } cases[] = {{5, 1, 137}, {6, 2, 274}, {13, 3, 411}, {500, 84, 536 - 71 - 8}};
    for (const auto &c : cases) {
        ChoiceJob job({FormType::Radio, FormType::String});
        job.q(0).Choices = numbered("v", c.answers);
        job.q(0).SetAnswer(QStringLiteral("v002"));
        job.q(0).Modified = false;
        job.start();
        auto &form = job.as<TRadioQuestionForm>();
        EXPECT_EQ(RadioColumnsFor(c.answers), c.columns);
        EXPECT_EQ(form.Columns(), c.columns);
        EXPECT_EQ(form.AnswerRadio->width(), c.width) << c.answers;
        ASSERT_EQ(form.RadioButtons.size(), c.answers);
        EXPECT_TRUE(form.RadioButtons[2]->isChecked());
        EXPECT_FALSE(job.q(0).Modified) << "filling is not a choice";
        if (c.answers == 13) {
            // Five rows: the sixth answer heads the second column.
            EXPECT_EQ(form.RadioButtons[5]->x() > form.RadioButtons[4]->x(), true);
            EXPECT_EQ(form.RadioButtons[5]->y(), form.RadioButtons[0]->y());
        }
    }

    ChoiceJob job({FormType::Radio, FormType::String});
    job.q(0).Choices = {"x", "y"};
    job.q(0).Captions = {"Ex", "Why"};
    job.q(0).Mandatory = true;
    job.start();
    auto &form = job.as<TRadioQuestionForm>();
    EXPECT_FALSE(form.ValidateAnswers());
    form.RadioButtons[1]->click();
    EXPECT_EQ(job.q(0).GetAnswer(), QLatin1String("y"));
    EXPECT_EQ(job.presented.size(), 1u);
    job.singleClick();
    form.RadioButtons[0]->click();
    EXPECT_EQ(job.q(0).GetAnswer(), QLatin1String("x"));
    EXPECT_EQ(job.presented.size(), 2u);
}

// ---- Searchable list ---------------------------------------------------------------------------

TEST(ListQuestionForm, OptionalRowZeroIsNoAnswerAndStillHighlighted) {
    ChoiceJob job({FormType::List});
    TQuestion &q = job.q(0);
    q.Choices = {"<none>", "Alpha", "Beta"};
    job.start();
    auto &form = job.as<TListQuestionForm>();
    EXPECT_EQ(form.ListDG->CurrentRow(), 0);
    EXPECT_TRUE(q.IsAnswerEmpty());
    EXPECT_TRUE(form.RowHighlighted(0));
    form.SelectRow(2);
    EXPECT_EQ(q.GetAnswer(), QLatin1String("Beta"));
    EXPECT_EQ(form.SearchEdit->text(), QLatin1String("Beta"));
    form.SelectRow(0);
    EXPECT_TRUE(q.IsAnswerEmpty());
    EXPECT_TRUE(form.RowHighlighted(0));
    EXPECT_TRUE(form.ValidateAnswers()) << "optional";
}

TEST(ListQuestionForm, SeparatorNeverBecomesTheAnswer) {
    ChoiceJob job({FormType::List});
    TQuestion &q = job.q(0);
    q.Mandatory = true;
    q.Choices = {"A", Separator, "B"};
    job.start();
    auto &form = job.as<TListQuestionForm>();
    EXPECT_TRUE(q.IsAnswerEmpty()) << "nothing typed, nothing chosen";
    EXPECT_FALSE(form.RowHighlighted(0)) << "mandatory, no answer: no highlight";
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(form.ErrorText(), Mandatory);
    form.SelectRow(0);
    form.SelectRow(1);
    EXPECT_EQ(q.GetAnswer(), QLatin1String("A"));
    EXPECT_FALSE(form.RowHighlighted(1));
    EXPECT_TRUE(form.ErrorText().isEmpty());
}

TEST(ListQuestionForm, TypeAheadRefusesWhatStartsNoValue) {
    ChoiceJob job({FormType::List, FormType::String});
    TQuestion &q = job.q(0);
    q.Mandatory = true;
    q.Choices = {"Alpha", "alps", "Beta"};
    job.start();
    job.activate();
    auto &form = job.as<TListQuestionForm>();
    form.SearchEdit->setFocus();
    QTest::keyClicks(form.SearchEdit, QStringLiteral("x"));
    EXPECT_TRUE(form.SearchEdit->text().isEmpty());
    QTest::keyClicks(form.SearchEdit, QStringLiteral("b"));
    EXPECT_EQ(form.SearchEdit->text(), QLatin1String("Beta")) << "the whole matching value";
    EXPECT_EQ(q.GetAnswer(), QLatin1String("Beta"));
    EXPECT_EQ(form.ListDG->CurrentRow(), 2);
    QTest::keyClicks(form.SearchEdit, QStringLiteral("x"));
    EXPECT_EQ(form.SearchEdit->text(), QLatin1String("Beta"));

    form.SearchEdit->clear();
    QTest::keyClicks(form.SearchEdit, QStringLiteral("ALP"));
    EXPECT_EQ(q.GetAnswer(), QLatin1String("Alpha"));
    QTest::keyClicks(form.SearchEdit, QStringLiteral("s"));
    EXPECT_EQ(q.GetAnswer(), QLatin1String("alps")) << "typing on replaces the completion";
    QTest::keyClick(form.SearchEdit, Qt::Key_Backspace);
    QTest::keyClick(form.SearchEdit, Qt::Key_Backspace);
    EXPECT_EQ(form.SearchEdit->text(), QLatin1String("al")) << "deleting is not completed";
    form.SearchEdit->selectAll();
    QTest::keyClick(form.SearchEdit, Qt::Key_Backspace);
    EXPECT_TRUE(q.IsAnswerEmpty()) << "an empty search clears the answer";
    EXPECT_EQ(form.ListDG->CurrentRow(), 0);

    QTest::keyClicks(form.SearchEdit, QStringLiteral("b"));
    QTest::keyClick(form.SearchEdit, Qt::Key_Return);
    EXPECT_EQ(job.presented.size(), 2u) << "Enter acts as the next button";
}

TEST(ListQuestionForm, KeysBetweenEditAndGrid) {
    ChoiceJob job({FormType::List, FormType::String});
    TQuestion &q = job.q(0);
    q.Choices = {"<none>", "A", "B"};
    job.start();
    job.activate();
    auto &form = job.as<TListQuestionForm>();
    form.SearchEdit->setFocus();
    QTest::keyClick(form.SearchEdit, Qt::Key_Down);
    EXPECT_TRUE(form.ListDG->hasFocus());
    QTest::keyClick(form.ListDG, Qt::Key_Down);
    EXPECT_EQ(q.GetAnswer(), QLatin1String("A"));
    EXPECT_EQ(form.SearchEdit->text(), QLatin1String("A"));
    QTest::keyClick(form.ListDG, Qt::Key_Up);
    EXPECT_TRUE(q.IsAnswerEmpty()) << "row 0 of an optional list";
    form.SearchEdit->clear();
    QTest::keyClick(form.ListDG, Qt::Key_Up);
    EXPECT_TRUE(form.SearchEdit->hasFocus()) << "up from row 0 goes back to the edit";
    form.ListDG->setFocus();
    QTest::keyClick(form.ListDG, Qt::Key_Return);
    EXPECT_EQ(job.presented.size(), 2u);
}

TEST(ListQuestionForm, LocateScrollsAtMostNineRowsBelowTheTop) {
    for (const int height : {382, 600}) {
        ChoiceJob job({FormType::List});
        job.manager.FClientHeight = height;
        job.q(0).Mandatory = true;
        job.q(0).Choices = numbered("Item ", 100);
        job.q(0).DefaultAnswer = QStringLiteral("item 05");
        job.q(0).ResetAnswer();
        job.start();
        QCoreApplication::processEvents();
        auto &form = job.as<TListQuestionForm>();
        EXPECT_EQ(job.q(0).GetAnswer(), QLatin1String("Item 050")) << "the default located";
        const int visible = form.ListDG->VisibleRowCount();
        const int top = form.ListDG->TopRow();
        EXPECT_GE(50, top);
        EXPECT_LT(50, top + visible) << "the located row shows";
        if (visible > 10) {
            EXPECT_EQ(top, 50 - 9) << height;
        }
        form.Locate(QStringLiteral("Item 01"));
        EXPECT_EQ(form.ListDG->CurrentRow(), 10);
        EXPECT_LE(form.ListDG->TopRow(), 10);
        form.Locate(QStringLiteral("nothing"));
        EXPECT_EQ(form.ListDG->TopRow(), 0);
        EXPECT_EQ(form.ListDG->CurrentRow(), 0);
        EXPECT_EQ(job.q(0).GetAnswer(), QLatin1String("Item 010"))
            << "a failed locate with text in the edit keeps the answer";
    }
}

TEST(ListQuestionForm, SkipsInTheDirectionOfArrival) {
    struct Case {
        const char *name;
        bool mandatory, autoSelect, skipIfEmpty;
        QByteArrayList choices;
        bool skipped;
        QString answer;
    };
    const Case cases[] = {
        {"mandatory, one value", true, true, false, {"Only"}, true, "Only"},
        {"optional, no-answer entry and one value",
         false,
         true,
         false,
         {"<none>", "Real"},
         true,
         "Real"},
        {"one value behind a separator", true, true, false, {Separator, "One"}, true, "One"},
        {"two values are shown", true, true, true, {"A", "B"}, false, ""},
        {"empty mandatory list", true, false, true, {}, true, ""},
        {"only no-answer entry and separator", false, false, true, {"<none>", Separator}, true, ""},
        {"optional list without any value", false, false, true, {}, true, ""},
        {"only separators", true, true, true, {Separator, Separator}, true, ""},
        {"empty without SkipIfEmpty is shown", true, true, false, {}, false, ""},
    };
    for (const Case &c : cases) {
        for (const TWizardDirection direction : {wdNext, wdPrev}) {
            SCOPED_TRACE(testing::Message() << c.name << (direction == wdNext ? " next" : " prev"));
            ChoiceJob job({FormType::String, FormType::List, FormType::String});
            TQuestion &q = job.q(1);
            q.Mandatory = c.mandatory;
            q.AutoSelectSingle = c.autoSelect;
            q.SkipIfEmpty = c.skipIfEmpty;
            q.Choices = c.choices;
            job.manager.FCurrentSet = job.sets[1];
            job.present(*job.sets[1], direction);
            EXPECT_EQ(job.sets[1]->AllSkipped(), c.skipped);
            EXPECT_EQ(q.GetAnswer(), c.answer);
            if (!c.skipped) {
                EXPECT_TRUE(job.presented.empty());
                EXPECT_TRUE(job.form->isVisible());
                continue;
            }
            ASSERT_EQ(job.presented.size(), 1u);
            EXPECT_EQ(job.presented.back(), job.sets[direction == wdNext ? 2 : 0]);
        }
    }
}

TEST(ListQuestionForm, RowsAreDrawnAndReadByScreenReaders) {
    ChoiceJob job({FormType::List});
    TQuestion &q = job.q(0);
    q.Mandatory = true;
    q.Choices = {"Alpha", Separator, "Gamma\r\nDelta", "Epsilon"};
    q.SetAnswer(QStringLiteral("Gamma\r\nDelta"));
    job.start();
    QCoreApplication::processEvents();
    auto &form = job.as<TListQuestionForm>();
    ASSERT_EQ(form.ListDG->CurrentRow(), 2);
    const QImage image = form.ListDG->viewport()->grab().toImage();
    const int x = image.width() - 3;
    auto colour = [&](int row) { return image.pixelColor(x, row * 18 + 4).name(); };
    EXPECT_EQ(colour(0), QLatin1String("#eeedea"));
    EXPECT_EQ(colour(1), QLatin1String("#ffffff"));
    EXPECT_EQ(colour(2), QLatin1String("#ffcc9a")) << "the current row with an answer";
    EXPECT_EQ(colour(3), QLatin1String("#ffffff"));
    EXPECT_EQ(image.pixelColor(x, 18 + 9).name(), QLatin1String("#000000"))
        << "the separator's line";

    QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(form.ListDG);
    ASSERT_TRUE(grid && grid->tableInterface());
    const QList<QAccessibleInterface *> selected = grid->tableInterface()->selectedCells();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0]->text(QAccessible::Name), QLatin1String("Gamma\r\nDelta"));
    EXPECT_EQ(grid->tableInterface()->rowCount(), 4);
    EXPECT_EQ(grid->tableInterface()->cellAt(0, 0)->text(QAccessible::Name),
              QLatin1String("Alpha"));
}

TEST(ListQuestionForm, RightToLeftRowsAreRightAligned) {
    struct RightToLeft {
        RightToLeft() { SetRightToLeftLayout(true); }
        ~RightToLeft() { SetRightToLeftLayout(false); }
    } rtl;
    ChoiceJob job({FormType::List});
    job.q(0).Mandatory = true;
    job.q(0).Choices = {"WWWW"};
    job.start();
    QCoreApplication::processEvents();
    auto &form = job.as<TListQuestionForm>();
    EXPECT_TRUE(form.ListDG->RightToLeftText());
    const QImage image = form.ListDG->viewport()->grab().toImage();
    int leftmostInk = image.width();
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, 9).lightness() < 100) {
            leftmostInk = x;
            break;
        }
    }
    EXPECT_GT(leftmostInk, image.width() / 2) << "the value is drawn at the right";
    EXPECT_LT(leftmostInk, image.width() - 4);
}

TEST(ListQuestionForm, ScreenReaderFile) {
    ChoiceJob job({FormType::List});
    JawsUser jaws(job.box);
    TQuestion &q = job.q(0);
    q.Prompt = QStringLiteral("Which?");
    q.Description = QStringLiteral("Pick (one)");
    q.Mandatory = true;
    q.Choices = {"A", "B", "C"};
    job.start();
    EXPECT_FALSE(job.form->ValidateAnswers());
    EXPECT_EQ(jaws.read("JAWSForQueriantListQuestionForm.ini"),
              "[ListQuestionScreen]\r\nTitle=Print Job Details\r\nQuestion=Which?\r\n"
              "DefaultValue=\r\nDescription=Pick one\r\nListOptions=A\tB\tC\t\r\n"
              "Error=You are required to provide an answer.\r\n");
}

TEST(ListQuestionForm, OddValuesAreShownWithoutHarm) {
    const QByteArrayList cases[] = {
        {QByteArray(1 << 20, 'w'), "short"},
        QByteArrayList(10000, "same"),
        {"a\r\nb", "\x0c", "\xe2\x80\x8f\xd8\xa7\xd8\xa8"},
    };
    for (const QByteArrayList &choices : cases) {
        ChoiceJob job({FormType::List});
        job.q(0).Mandatory = true;
        job.q(0).Choices = choices;
        job.start();
        auto &form = job.as<TListQuestionForm>();
        form.ListDG->viewport()->grab();
        form.SelectRow(form.Choices()->rowCount() - 1);
        EXPECT_EQ(job.q(0).GetAnswer(), QString::fromUtf8(choices.last()));
    }
}

// ---- SQL list ----------------------------------------------------------------------------------

TEST(SQLListQuestionForm, RefreshFailureReachesTheHostAndKeepsEarlierAnswers) {
    ChoiceJob job({FormType::String, FormType::SqlList});
    job.q(0).SetAnswer(QStringLiteral("kept"));
    job.q(1).SqlParameters = {"Q1"};
    auto form = std::make_unique<TSQLListQuestionForm>();
    form->SetQuestionManager(&job.manager);
    EXPECT_THROW(form->SetQuestionSet(job.sets[1]), zv::ZvError)
        << "a job without a popup server has no SQL lists";
    EXPECT_FALSE(form->Loading());
    EXPECT_EQ(job.q(0).GetAnswer(), QLatin1String("kept"));
}

// ---- Guest card --------------------------------------------------------------------------------

TEST(GuestCardQuestionForm, CardNumberEntry) {
    ChoiceJob job({FormType::GuestCard, FormType::String});
    TQuestion &q = job.q(0);
    q.Prompt = QStringLiteral("Card number?");
    q.Mandatory = true;
    q.MaxLength = 12;
    q.DefaultAnswer = QStringLiteral("0042");
    job.sets[0]->Caption = "A caption";
    job.start();
    auto &form = job.as<TGuestCardQuestionForm>();
    EXPECT_EQ(form.TitleLbl->caption(), QLatin1String("Guest Card Details"));
    EXPECT_EQ(form.SwitchUserLabel->text(), QLatin1String("I am not a guest."));
    EXPECT_EQ(form.QuestionCaption(), QLatin1String("Card number?"));
    EXPECT_TRUE(form.PrevBtn->isHidden());
    EXPECT_EQ(form.AnswerEdit->width(),
              2 * QFontMetrics(form.AnswerEdit->font()).horizontalAdvance("0123456789"));
    EXPECT_EQ(form.AnswerEdit->text(), QLatin1String("0042"));
    EXPECT_EQ(q.GetAnswer(), QLatin1String("0042")) << "the text filled in is the answer";
    form.AnswerEdit->clear();
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(form.ErrorText(), Mandatory);
    QTest::keyClicks(form.AnswerEdit, QStringLiteral("7"));
    EXPECT_TRUE(form.ErrorText().isEmpty());
    EXPECT_EQ(q.GetAnswer(), QLatin1String("7"));
    QTest::keyClick(form.AnswerEdit, Qt::Key_Return);
    EXPECT_EQ(job.presented.size(), 2u);
}

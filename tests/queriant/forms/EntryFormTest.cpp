// SPDX-License-Identifier: MIT
#include "QuestionFormFixture.h"

#include "AlignLabel.h"
#include "FloatQuestionFrm.h"
#include "IntegerQuestionFrm.h"
#include "JAWS.h"
#include "LogonQuestionFrm.h"
#include "MoneyQuestionFrm.h"
#include "PhoneQuestionFrm.h"
#include "StringQuestionFrm.h"
#include "ZvRegistry.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace {

const QString Mandatory = QStringLiteral("You are required to provide an answer.");
const QString Confirm = QStringLiteral("Answers differ. Please type same answer twice for "
                                       "confirmation");
const QString NotInteger = QStringLiteral("Value is not a whole number");
const QString NotANumber = QStringLiteral("Value is not a number");

struct ValidationCase {
    const char *name;
    bool mandatory;
    double min;
    double max;
    int maxLength;
    int minLength;
    bool confirm;
    QString text;
    QString textB;
    QString message; // empty: passes
};

// Presents one question of the form type, types the texts and validates.
template <typename Form> void checkValidation(const char *formType, const ValidationCase &c) {
    FormJob job;
    TQuestion &q = *job.set(formType).First();
    q.Mandatory = c.mandatory;
    q.ValidateMin = c.min;
    q.ValidateMax = c.max;
    q.MaxLength = c.maxLength;
    q.MinLength = c.minLength;
    q.Confirm = c.confirm;
    job.start();
    auto &form = job.as<Form>();
    form.AnswerEdit->setText(c.text);
    form.AnswerEditB->setText(c.textB);
    EXPECT_EQ(form.ValidateAnswers(), c.message.isEmpty()) << c.name;
    EXPECT_EQ(form.ErrorText(), c.message) << c.name;
}

TEST(IntegerQuestionForm, ChecksInOrder) {
    const ValidationCase cases[] = {
        {"mandatory blanks", true, 1, 10, 0, 0, true, "  ", "x", Mandatory},
        {"not a number", true, 0, 0, 0, 0, false, "12a", "", NotInteger},
        {"optional empty passes", false, 1, 10, 0, 0, false, "", "", ""},
        {"optional garbage", false, 0, 0, 0, 0, false, "abc", "", NotInteger},
        {"no bounds", true, 0, 0, 0, 0, false, "-99999", "", ""},
        {"above maximum", true, 1, 10, 0, 0, false, "11", "", "Value can not be more than 10"},
        {"below minimum rounds half to even", true, 2.5, 10, 0, 0, false, "1", "",
         "Value must be at least 2"},
        {"confirm replaces the bounds message", true, 1, 10, 0, 0, true, "11", "12", Confirm},
        {"confirmed", true, 1, 10, 0, 0, true, "5", "5", ""},
        {"beyond 32 bits", true, 0, 0, 0, 0, false, "4294967296", "", NotInteger},
    };
    for (const auto &c : cases)
        checkValidation<TIntegerQuestionForm>(FormType::Integer, c);
}

TEST(FloatQuestionForm, ChecksInOrder) {
    const ValidationCase cases[] = {
        {"mandatory", true, 0, 5, 2, 0, false, " ", "", Mandatory},
        {"not a number", false, 0, 5, 2, 0, false, "abc", "", NotANumber},
        {"comma is not the separator here", false, 0, 5, 2, 0, false, "1,5", "", NotANumber},
        {"optional empty", false, 0, 5, 2, 0, false, "", "", ""},
        {"above maximum", true, 0, 5, 2, 0, false, "7", "", "Value can not be more than 5"},
        {"symmetric bounds are not applied", true, -5, 5, 2, 0, false, "7", "", ""},
        {"below minimum", true, 0.5, 5, 2, 0, false, "0.25", "", "Value must be at least .5"},
        {"too few decimals beats the bounds", true, 0, 5, 2, 2, false, "7.5", "",
         "Value must contain at least 2 decimals"},
        {"confirm", true, 0, 5, 2, 0, true, "1.5", "1.50", Confirm},
    };
    for (const auto &c : cases)
        checkValidation<TFloatQuestionForm>(FormType::Float, c);
}

TEST(MoneyQuestionForm, ChecksInOrderAndSelectsANonNumber) {
    const ValidationCase cases[] = {
        {"above maximum", true, 1, 100, 2, 0, false, "100.01", "",
         "Value can not be more than 100"},
        {"decimals", true, 0, 0, 2, 2, false, "3", "", "Value must contain at least 2 decimals"},
        {"fine", true, 0, 0, 2, 2, false, "3.00", "", ""},
    };
    for (const auto &c : cases)
        checkValidation<TMoneyQuestionForm>(FormType::Money, c);

    FormJob job;
    job.set(FormType::Money).First()->Mandatory = true;
    job.start();
    job.activate();
    auto &form = job.as<TMoneyQuestionForm>();
    form.NextBtn->setFocus();
    form.AnswerEdit->setText(QStringLiteral("12x"));
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(form.ErrorText(), NotANumber);
    EXPECT_EQ(form.AnswerEdit->selectedText(), QLatin1String("12x"));
    EXPECT_TRUE(form.AnswerEdit->hasFocus());
}

TEST(FloatQuestionForm, EditedValueIsStoredRoundedWhileTheEditKeepsItsText) {
    FormJob job;
    TQuestion &q = *job.set(FormType::Float).First();
    q.MaxLength = 2;
    q.DefaultAnswer = QStringLiteral("2.346");
    job.start();
    auto &form = job.as<TFloatQuestionForm>();
    EXPECT_TRUE(form.ValidateAnswers());
    EXPECT_EQ(q.GetAnswer(), QLatin1String("2.346")) << "not edited: kept as loaded";

    form.AnswerEdit->setText(QStringLiteral("02.345"));
    EXPECT_TRUE(form.ValidateAnswers());
    EXPECT_EQ(form.AnswerEdit->text(), QLatin1String("2.345")) << "written back shortest";
    EXPECT_EQ(q.GetAnswer(), QLatin1String("2.35"));
}

TEST(DecimalFilter, TypingIntoFloatAndMoneyEdits) {
    const struct {
        const char *name;
        const char *formType;
        int maxLength;
        QString start;
        int caret;
        QString typed;
        QString result;
    } cases[] = {
        {"letters dropped", FormType::Float, 2, "", 0, "1a-2b", "1-2"},
        {"third decimal refused", FormType::Float, 2, "", 0, "1.234", "1.23"},
        {"second separator refused", FormType::Money, 2, "", 0, "1..5", "1.5"},
        {"separator with too much after the caret", FormType::Float, 2, "12345", 1, ".", "12345"},
        {"separator with two after the caret", FormType::Float, 2, "12345", 3, ".", "123.45"},
        {"digits before a full decimal part", FormType::Money, 2, "1.23", 0, "9", "91.23"},
        // The separator reaches the text for the whole-number check to refuse.
        {"no decimals allowed", FormType::Money, 0, "", 0, "1.5", "1.5"},
    };
    for (const auto &c : cases) {
        FormJob job;
        TQuestion &q = *job.set(c.formType).First();
        q.MaxLength = c.maxLength;
        q.DefaultAnswer = c.start;
        job.start();
        auto &form = dynamic_cast<TEntryQuestionForm &>(*job.form);
        auto *edit = static_cast<QLineEdit *>(form.findChild<QLineEdit *>("AnswerEdit"));
        edit->setCursorPosition(c.caret);
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.result) << c.name;
    }
}

TEST(IntegerQuestionForm, FilterKeepsDigitsMinusAndNumberMarks) {
    FormJob job;
    job.set(FormType::Integer);
    job.start();
    auto &form = job.as<TIntegerQuestionForm>();
    QTest::keyClicks(form.AnswerEdit, QStringLiteral("-1a2.3 4"));
    EXPECT_EQ(form.AnswerEdit->text(), QLatin1String("-12.34")) << "the point is not dropped";
    EXPECT_EQ(job.set(FormType::Integer).Count(), 1);
}

TEST(EntryForms, SecureAnswerShowsMaskedAndIsNotOverwrittenWhileLoading) {
    const char *types[] = {FormType::String, FormType::Integer, FormType::Float, FormType::Money};
    for (const char *type : types) {
        FormJob job;
        TQuestion &q = *job.set(type).First();
        q.SetSecure(true);
        q.MaxLength = 10;
        q.SetAnswer(QStringLiteral("1234"));
        q.Modified = true;
        job.start();
        auto *edit = job.form->findChild<QLineEdit *>("AnswerEdit");
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << type;
        EXPECT_EQ(edit->text(), q.GetMaskedAnswer()) << type;
        EXPECT_NE(edit->text(), QLatin1String("1234")) << type;
        EXPECT_EQ(q.GetAnswer(), QLatin1String("1234")) << type;
        edit->setText(QStringLiteral("99"));
        EXPECT_EQ(q.GetAnswer(), QLatin1String("99")) << type << ": typing stores";
    }
}

TEST(EntryForms, EnterMovesToTheConfirmEditThenOn) {
    FormJob job;
    TQuestion &q = *job.set(FormType::Integer).First();
    q.Confirm = true;
    TQuestionSet &next = job.set(FormType::String);
    job.start();
    job.activate();
    auto &form = job.as<TIntegerQuestionForm>();
    EXPECT_TRUE(form.AnswerEditB->isVisibleTo(&form));
    form.AnswerEdit->setFocus();
    QTest::keyClicks(form.AnswerEdit, QStringLiteral("5"));
    QTest::keyClick(form.AnswerEdit, Qt::Key_Return);
    EXPECT_TRUE(form.AnswerEditB->hasFocus());
    QTest::keyClick(form.AnswerEditB, Qt::Key_Return);
    EXPECT_EQ(form.ErrorText(), Confirm);
    int activity = 0;
    job.manager.OnActivity = [&activity](TQuestionManager &) { ++activity; };
    QTest::keyClicks(form.AnswerEditB, QStringLiteral("5"));
    EXPECT_EQ(activity, 1) << "typing the confirmation restarts the time-out";
    EXPECT_EQ(q.GetAnswer(), QLatin1String("5")) << "the confirmation is not the answer";
    QTest::keyClick(form.AnswerEditB, Qt::Key_Enter);
    EXPECT_EQ(job.presented.back(), &next);
}

TEST(StringQuestionForm, EditOrMemoByLength) {
    FormJob job;
    TQuestion &longer = *job.set(FormType::String).First();
    longer.MaxLength = 100;
    TQuestion &wide = *job.set(FormType::String).First();
    wide.MaxLength = 30;
    wide.Confirm = true;
    TQuestion &small = *job.set(FormType::String).First();
    small.MaxLength = 5;
    job.start();

    auto *form = &job.as<TStringQuestionForm>();
    EXPECT_TRUE(form->AnswerMemo->isVisibleTo(form));
    EXPECT_FALSE(form->AnswerEdit->isVisibleTo(form));
    EXPECT_EQ(form->FocusToControl(), form->AnswerMemo);
    QTest::keyClicks(form->AnswerMemo, QStringLiteral("ab"));
    QTest::keyClick(form->AnswerMemo, Qt::Key_Return);
    EXPECT_EQ(longer.GetAnswer(), QLatin1String("ab")) << "Enter does not start a line";
    ASSERT_EQ(job.presented.size(), 2u) << "Enter moved on";

    form = &job.as<TStringQuestionForm>();
    const int wideWidth = TStringQuestionForm::EditWidthFor(30, form->AnswerEdit->font());
    ASSERT_GT(wideWidth, 200);
    EXPECT_EQ(form->AnswerEdit->width(), wideWidth);
    EXPECT_EQ(form->AnswerEditB->width(), wideWidth);
    EXPECT_EQ(form->DescriptionLbl->y(), form->AnswerEditB->geometry().bottom() + 1 + 8);
    EXPECT_EQ(form->AnswerEdit->maxLength(), 30);
    EXPECT_EQ(form->AnswerEditB->maxLength(), 30);

    form->NextBtnClick();
    form = &job.as<TStringQuestionForm>();
    EXPECT_LT(form->AnswerEdit->width(), 200);
    EXPECT_EQ(form->DescriptionLbl->y(), 63);
}

TEST(StringQuestionForm, WidthRule) {
    QFont font;
    font.setPixelSize(11);
    EXPECT_EQ(TStringQuestionForm::EditWidthFor(64, font), 400) << "capped up to 64";
    EXPECT_FALSE(TStringQuestionForm::UsesMemo(64, 400));
    EXPECT_TRUE(TStringQuestionForm::UsesMemo(81, 10));
    EXPECT_TRUE(TStringQuestionForm::UsesMemo(70, TStringQuestionForm::EditWidthFor(70, font)));
}

TEST(StringAndPhoneForms, MandatoryLooksAtTheStoredAnswerAndChangesClearTheError) {
    for (const char *type : {FormType::String, FormType::PhoneNumber}) {
        FormJob job;
        TQuestion &q = *job.set(type).First();
        q.Mandatory = true;
        q.Confirm = true;
        q.MaxLength = 20;
        job.start();
        auto &form = dynamic_cast<TEntryQuestionForm &>(*job.form);
        EXPECT_FALSE(form.ValidateAnswers()) << type;
        EXPECT_EQ(form.ErrorText(), Mandatory) << type;
        form.AnswerEdit->setText(QStringLiteral(" "));
        EXPECT_EQ(form.ErrorText(), QString()) << type << ": a change clears the error";
        EXPECT_FALSE(form.ValidateAnswers()) << type;
        EXPECT_EQ(form.ErrorText(), Confirm) << type << ": a blank is an answer";
        form.AnswerEditB->setText(QStringLiteral(" "));
        EXPECT_TRUE(form.ValidateAnswers()) << type;
    }
}

TEST(PhoneQuestionForm, ShowsTheStoredNumberAndSizesTheEdit) {
    FormJob job;
    TQuestion &q = *job.set(FormType::PhoneNumber).First();
    q.MaxLength = 15;
    q.SetAnswer(QStringLiteral("+41 44 000"));
    q.Modified = true;
    job.start();
    auto &form = job.as<TPhoneQuestionForm>();
    EXPECT_EQ(form.AnswerEdit->text(), QLatin1String("+41 44 000"));
    EXPECT_EQ(form.AnswerEdit->width(),
              2 * QFontMetrics(form.AnswerEdit->font()).horizontalAdvance("0123456789"));
    EXPECT_EQ(form.AnswerEdit->maxLength(), 15);
}

TEST(EntryForms, WrongFormTypeFails) {
    const struct {
        const char *formType;
        const char *message;
    } cases[] = {
        {FormType::Integer, "Question datatype must be a dtInteger type"},
        {FormType::String, "Question datatype must be a dtString type"},
        {FormType::Money, "Question datatype must be a dtMoney type"},
        {FormType::PhoneNumber, "Question datatype must be a dtPhoneNumber type"},
        {FormType::Float, "Question datatype must be a dtFloat type"},
        {FormType::Logon, "Question datatype must be a dtString type"},
    };
    for (const auto &c : cases) {
        FormJob job;
        TQuestionSet &set = job.set(FormType::Combo);
        auto form = CreateQuestionForm(QLatin1String(c.formType), nullptr);
        try {
            form->SetQuestionSet(&set);
            ADD_FAILURE() << c.formType;
        } catch (const zv::ZvError &e) {
            EXPECT_EQ(e.message(), QLatin1String(c.message));
        }
    }
    EXPECT_EQ(CreateQuestionForm(QStringLiteral("StringForm"), nullptr), nullptr);
}

TEST(LogonQuestionForm, RowsFocusAndValidation) {
    FormJob job;
    TQuestionSet &set = job.set(FormType::Logon, 2);
    TQuestionSet &after = job.set(FormType::String);
    for (TQuestion *q : set.Questions) {
        q->Mandatory = true;
        q->MaxLength = 30;
        q->Description = q->Prompt + QStringLiteral(" help");
    }
    set.Question(1)->SetSecure(true);
    job.start();
    job.activate();
    auto &form = job.as<TLogonQuestionForm>();
    EXPECT_FALSE(form.QuestionLbl->isVisibleTo(&form));
    EXPECT_TRUE(form.AnswerEditRow[1]->isVisibleTo(&form));
    EXPECT_FALSE(form.AnswerEditRow[2]->isVisibleTo(&form));
    EXPECT_EQ(form.AnswerEditRow[1]->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.AnswerEditRow[0]->width(), 193);
    EXPECT_EQ(form.DescriptionRowLbl[0]->x(), 160 + 193 + 16);

    form.AnswerEditRow[0]->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.DescriptionRowLbl[0]->isVisibleTo(&form));
    EXPECT_FALSE(form.DescriptionRowLbl[1]->isVisibleTo(&form));
    QTest::keyClicks(form.AnswerEditRow[0], QStringLiteral("anna"));
    QTest::keyClick(form.AnswerEditRow[0], Qt::Key_Return);
    EXPECT_TRUE(form.AnswerEditRow[1]->hasFocus());
    EXPECT_TRUE(form.DescriptionRowLbl[1]->isVisibleTo(&form));
    EXPECT_FALSE(form.DescriptionRowLbl[0]->isVisibleTo(&form));

    form.AnswerEditRow[0]->setFocus();
    QTest::keyClick(form.AnswerEditRow[1], Qt::Key_Return);
    EXPECT_EQ(form.ErrorText(), Mandatory);
    EXPECT_TRUE(form.AnswerEditRow[1]->hasFocus()) << "the empty row gets the focus";
    EXPECT_EQ(set.Question(0)->GetAnswer(), QLatin1String("anna"));

    QTest::keyClicks(form.AnswerEditRow[1], QStringLiteral("pw"));
    QTest::keyClick(form.AnswerEditRow[1], Qt::Key_Return);
    EXPECT_EQ(job.presented.back(), &after) << "Enter in the last row moves on";
}

TEST(EntryForms, ScreenReaderFileFollowsFocusAndErrors) {
    FormJob job;
    JawsUser jaws(job.box);
    TQuestion &q = *job.set(FormType::Integer, 1).First();
    q.Prompt = QStringLiteral("Copies?");
    q.ValidateMin = 1;
    q.ValidateMax = 10;
    job.start();
    job.activate();
    auto &form = job.as<TIntegerQuestionForm>();
    form.AnswerEdit->setFocus();
    QCoreApplication::processEvents();
    form.AnswerEdit->setText(QStringLiteral("11"));
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(jaws.read("JAWSForQueriantIntegerQuestionForm.ini"),
              "[IntegerQuestionScreen]\r\nTitle=Print Job Details\r\nCurrentControl=AnswerEdit\r\n"
              "AnswerEditPrompt=Copies?\r\nError=Value can not be more than 10\r\n");
    form.AnswerEdit->setText(QStringLiteral("3"));
    EXPECT_TRUE(form.ValidateAnswers());
    EXPECT_EQ(jaws.read("JAWSForQueriantIntegerQuestionForm.ini"),
              "[IntegerQuestionScreen]\r\nTitle=Print Job Details\r\nCurrentControl=AnswerEdit\r\n"
              "AnswerEditPrompt=Copies?\r\n");
}

TEST(EntryForms, ScreenReaderFileOfTheStringConfirmEdit) {
    FormJob job;
    JawsUser jaws(job.box);
    TQuestion &q = *job.set(FormType::String).First();
    q.Prompt = QStringLiteral("Project?");
    q.Confirm = true;
    q.MaxLength = 10;
    job.start();
    job.activate();
    auto &form = job.as<TStringQuestionForm>();
    form.AnswerEditB->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(jaws.read("JAWSForQueriantStringQuestionForm.ini"),
              "[StringQuestionScreen]\r\nTitle=Print Job Details\r\nCurrentControl=AnswerEditB\r\n"
              "AnswerEditPrompt=Project?\r\nAnswerEditBPrompt=Project?\r\n")
        << "the answer edit had the focus first";
    EXPECT_EQ(jaws.read("JAWSForQueriantPhoneQuestionForm.ini"), "<missing>");
}

TEST(EntryForms, AccessibleNamesCarryQuestionDescriptionAndError) {
    FormJob job;
    TQuestion &q = *job.set(FormType::Integer).First();
    q.Prompt = QStringLiteral("How many copies?");
    q.Description = QStringLiteral("Between 1 and 10");
    q.Mandatory = true;
    job.start();
    auto &form = job.as<TIntegerQuestionForm>();
    QAccessibleInterface *edit = QAccessible::queryAccessibleInterface(form.AnswerEdit);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(QAccessible::Name), QLatin1String("How many copies?"));
    EXPECT_EQ(edit->text(QAccessible::Description), QLatin1String("Required\nBetween 1 and 10"));
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(edit->text(QAccessible::Description),
              QLatin1String("Required\nBetween 1 and 10\n") + Mandatory);
    QAccessibleInterface *next = QAccessible::queryAccessibleInterface(form.NextBtn);
    EXPECT_EQ(next->text(QAccessible::Name), QLatin1String("OK"));
    QAccessibleInterface *error = QAccessible::queryAccessibleInterface(form.ErrorLbl);
    EXPECT_EQ(error->text(QAccessible::Description), Mandatory);

    FormJob logonJob;
    TQuestionSet &logon = logonJob.set(FormType::Logon, 2);
    logon.Question(1)->Prompt = QStringLiteral("Password");
    logonJob.start();
    auto &logonForm = logonJob.as<TLogonQuestionForm>();
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(logonForm.AnswerEditRow[1])->text(QAccessible::Name),
        QLatin1String("Password"));
}

} // namespace

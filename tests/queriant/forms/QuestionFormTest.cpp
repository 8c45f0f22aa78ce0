// SPDX-License-Identifier: MIT
#include "QuestionFormFixture.h"

#include "AlignLabel.h"
#include "FormLook.h"
#include "IntegerQuestionFrm.h"
#include "PopupServerJob.h"
#include "ZvRegistry.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct ModeCase {
    const char *name;
    TFormMode mode;
    const char *formType;
    quint8 runMode;
    bool prev;
    bool next;
    const char *nextCaption;
};

TEST(QuestionForm, ButtonsPerFormMode) {
    const ModeCase cases[] = {
        {"first", fmFirst, FormType::String, 2, false, true, "&Next"},
        {"first, button question", fmFirst, FormType::Button, 2, false, false, "&Next"},
        {"middle", fmMiddle, FormType::String, 2, true, true, "&Next"},
        {"middle, button question", fmMiddle, FormType::Button, 2, true, false, "&Next"},
        {"last, server job", fmLast, FormType::String, 2, true, true, "Prin&t"},
        {"last, button question still moves on", fmLast, FormType::Button, 0, true, true, "&OK"},
        {"single, test run", fmSingle, FormType::String, 1, false, true, "Prin&t"},
        {"single, automation", fmSingle, FormType::String, 0, false, true, "&OK"},
        {"single, button question", fmSingle, FormType::Button, 0, false, false, "&OK"},
    };
    for (const ModeCase &c : cases) {
        FormJob job;
        job.manager.FRunMode = c.runMode;
        TQuestionSet &set = job.set(c.formType);
        TQuestionForm form;
        form.SetQuestionManager(&job.manager);
        form.SetQuestionSet(&set);
        form.SetFormMode(c.mode);
        EXPECT_EQ(form.PrevBtn->isVisibleTo(&form), c.prev) << c.name;
        EXPECT_EQ(form.PrevBtn->isEnabled(), c.prev) << c.name;
        EXPECT_EQ(form.NextBtn->isVisibleTo(&form), c.next) << c.name;
        EXPECT_EQ(form.NextBtn->isEnabled(), c.next) << c.name;
        EXPECT_EQ(form.NextBtn->text(), QLatin1String(c.nextCaption)) << c.name;
        EXPECT_FALSE(form.LastAnswersBtn->isVisibleTo(&form)) << c.name;
        EXPECT_EQ(form.CancelBtn->text(), QLatin1String("&Cancel"));
    }
}

TEST(QuestionForm, NavigationCallsTheManager) {
    FormJob job;
    TQuestionSet &first = job.set(FormType::String);
    TQuestionSet &second = job.set(FormType::String);
    TQuestionSet &third = job.set(FormType::String);
    job.start();
    ASSERT_EQ(job.presented.back(), &first);
    job.form->PrevBtnClick(); // nothing before the first set
    EXPECT_EQ(job.presented.size(), 1u);
    job.form->NextBtnClick();
    EXPECT_EQ(job.presented.back(), &second);
    EXPECT_EQ(job.form->FormMode(), fmMiddle);
    QTest::mouseClick(job.form->NextBtn, Qt::LeftButton);
    EXPECT_EQ(job.presented.back(), &third);
    EXPECT_EQ(job.form->FormMode(), fmLast);
    QTest::mouseClick(job.form->PrevBtn, Qt::LeftButton);
    EXPECT_EQ(job.presented.back(), &second);
    QTest::keyClick(job.form->DescriptionLbl, Qt::Key_Return);
    EXPECT_EQ(job.presented.back(), &third) << "Enter outside an edit acts as the next button";
    QTest::keyClick(job.form->PrevBtn, Qt::Key_Return);
    EXPECT_EQ(job.presented.back(), &second) << "Enter on a button presses it";
    QTest::mouseClick(job.form->CancelBtn, Qt::LeftButton);
    EXPECT_EQ(job.cancelled, 1);
}

TEST(QuestionForm, WithoutAQuestionSetTheDialogFails) {
    FormJob job;
    TQuestionSet &set = job.set(FormType::String, 0);
    TQuestionForm form;
    try {
        form.SetQuestionSet(&set);
        FAIL() << "no failure";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QLatin1String("TQuestionForm needs at least one question"));
    }
    EXPECT_FALSE(form.Loading());
}

TEST(QuestionForm, CaptionsAndTitles) {
    FormJob job;
    TQuestionSet &set = job.set(FormType::String);
    TQuestionForm form;
    EXPECT_EQ(form.SwitchUserLabel->text(), QLatin1String("I am a guest. ")) << "padded to 14";
    EXPECT_EQ(form.TitleLbl->caption(), QLatin1String("Print Job Details"));
    EXPECT_EQ(form.LastAnswersBtn->width(), 5 * int(form.LastAnswersBtn->text().size()) + 20);
    form.SetQuestionSet(&set);
    EXPECT_EQ(form.QuestionCaption(), QLatin1String("Question 1")) << "the first prompt";

    TQuestionSet &titled = job.set(FormType::String);
    titled.Caption = "Set caption";
    titled.Title = "Set title";
    form.SetQuestionSet(&titled);
    EXPECT_EQ(form.QuestionCaption(), QLatin1String("Set caption"));
    EXPECT_EQ(form.TitleLbl->caption(), QLatin1String("Set title"));
}

TEST(QuestionForm, GuestLinkOnlyForGuestCardJobsOfServerJobs) {
    const struct {
        const char *name;
        quint8 runMode;
        bool guestMode;
        TFormMode mode;
        bool visible;
    } cases[] = {
        {"job parameters, first set", 2, false, fmFirst, true},
        {"job parameters, single set", 2, false, fmSingle, true},
        {"middle hides it", 2, false, fmMiddle, false},
        {"automation", 0, false, fmFirst, false},
    };
    for (const auto &c : cases) {
        FormJob job;
        job.manager.FRunMode = c.runMode;
        job.manager.FGuestMode = c.guestMode;
        job.set(FormType::GuestCard);
        TQuestionSet &set = job.set(FormType::String);
        TQuestionForm form;
        form.SetQuestionManager(&job.manager);
        form.SetQuestionSet(&set);
        form.SetFormMode(c.mode);
        EXPECT_EQ(form.SwitchUserLabel->isVisibleTo(&form), c.visible) << c.name;
    }
}

// Skip rule: every question has a last answer used without asking.
TEST(QuestionForm, AnsweredSetIsShownOnceThenPassedOver) {
    FormJob job;
    TQuestionSet &first = job.set(FormType::Integer);
    TQuestionSet &second = job.set(FormType::Integer);
    job.set(FormType::Integer);
    first.First()->SaveLastAnswerMode = 2;
    first.First()->SetLastAnswer(QStringLiteral("42"));
    job.start();
    ASSERT_EQ(job.presented.size(), 1u);
    EXPECT_TRUE(job.form->isVisible()) << "shown before it moves on";
    EXPECT_EQ(first.SkipState, 1);
    EXPECT_EQ(first.First()->GetAnswer(), QLatin1String("42"));
    QCoreApplication::processEvents();
    ASSERT_EQ(job.presented.size(), 2u);
    EXPECT_EQ(job.presented.back(), &second);
    EXPECT_EQ(first.SkipState, 2);

    job.form->PrevBtnClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(job.presented.back(), &first) << "going back shows it and it stays";
    EXPECT_EQ(job.presented.size(), 3u);
}

TEST(QuestionForm, LastAnswersDecideTheSkipAndTheFirstQuestionToAsk) {
    const struct {
        const char *name;
        QString last;
        quint8 saveMode;
        bool mandatory;
        bool skipIfNotMandatory;
        bool expired;
        int skipState;
        int firstToAsk;
        QString answer;
    } cases[] = {
        {"used without asking", "7", 2, true, false, false, 1, -1, "7"},
        {"filled in, asked", "7", 1, true, false, false, 0, 0, "7"},
        {"not kept", "7", 0, true, false, false, 0, 0, ""},
        {"no last answer", "", 2, false, false, false, 0, 0, ""},
        {"optional counts as answered", "", 2, false, true, false, 1, -1, ""},
        {"mandatory still asked", "", 2, true, true, false, 0, 0, ""},
        {"expired period", "7", 2, true, false, true, 5, -1, ""},
    };
    for (const auto &c : cases) {
        FormJob job;
        job.manager.FSkipIfNotMandatory = c.skipIfNotMandatory;
        job.manager.FLastAnswersExpired = c.expired;
        TQuestionSet &set = job.set(FormType::Integer);
        set.SkipState = 5;
        TQuestion &q = *set.First();
        q.SaveLastAnswerMode = c.saveMode;
        q.Mandatory = c.mandatory;
        q.SetLastAnswer(c.last);
        TIntegerQuestionForm form;
        form.SetQuestionManager(&job.manager);
        form.SetQuestionSet(&set);
        EXPECT_EQ(set.SkipState, c.skipState) << c.name;
        EXPECT_EQ(form.FirstQuestionToAsk(), c.firstToAsk) << c.name;
        EXPECT_EQ(q.GetAnswer(), c.answer) << c.name;
    }
}

TEST(QuestionForm, AnswerSettingsLinkShowsForServerJobsThatKeepAnswers) {
    const struct {
        quint8 runMode;
        quint8 saveMode;
        bool visible;
    } cases[] = {{2, 1, true}, {1, 2, true}, {2, 0, false}, {0, 1, false}, {3, 1, false}};
    for (const auto &c : cases) {
        FormJob job;
        job.manager.FRunMode = c.runMode;
        job.set(FormType::String).First()->SaveLastAnswerMode = c.saveMode;
        TQuestionForm form;
        form.SetQuestionManager(&job.manager);
        EXPECT_EQ(form.LaunchConfigToolLabel->isVisibleTo(&form), c.visible)
            << int(c.runMode) << "/" << int(c.saveMode);
        EXPECT_EQ(form.LaunchConfigToolLabel->text(), QLatin1String("Answer Settings "));
    }
}

class AnswerSettingsTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous =
            SetMessageBoxHandler([this](QWidget *, const QString &caption, const QString &text) {
                boxes << caption + QLatin1Char('|') + text;
            });
        job.set(FormType::String).First()->SaveLastAnswerMode = 1;
        job.manager.FRunMode = 2;
        form.SetQuestionManager(&job.manager);
    }
    void TearDown() override { SetMessageBoxHandler(m_previous); }
    void installPath(const QString &path) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("SOFTWARE\\Zorvant\\Installed Components"))
            .writeString(QStringLiteral("Path"), path);
    }

    FormJob job;
    TQuestionForm form;
    QStringList boxes;
    TMessageBoxHandler m_previous;
};

TEST_F(AnswerSettingsTool, StartsTheToolAndCancelsTheJob) {
    const QString marker = job.box.path(QStringLiteral("started"));
    const QString tool = job.box.writeFile(QStringLiteral("inst/bin/Drosselconf"),
                                           "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    installPath(job.box.path(QStringLiteral("inst")));
    form.LaunchConfigToolLabelClick();
    EXPECT_EQ(job.cancelled, 1);
    EXPECT_TRUE(boxes.isEmpty());
    for (int i = 0; i < 100 && !QFile::exists(marker); ++i)
        QTest::qWait(20);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST_F(AnswerSettingsTool, MissingToolShowsThePackageMessageAndTheJobGoesOn) {
    installPath(job.box.path(QStringLiteral("nowhere")));
    QTest::mouseClick(form.LaunchConfigToolLabel, Qt::LeftButton);
    EXPECT_EQ(job.cancelled, 0);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("|A Popup package must be installed in order to "
                                                "be able to run the Answer Settings "
                                                "configuration tool.")});
}

TEST_F(AnswerSettingsTool, NoInstallationPathDoesNothing) {
    form.LaunchConfigToolLabelClick();
    EXPECT_EQ(job.cancelled, 0);
    EXPECT_TRUE(boxes.isEmpty());
}

// The popup server's job options reach the dialog through the manager.
TEST(QuestionForm, ServerJobOptions) {
    const QStringList parameters{QStringLiteral("server"), QStringLiteral("queue")};
    for (bool allow : {false, true}) {
        FormJob job(parameters, std::make_unique<TPopupServerJob>(parameters));
        TJobOptions options;
        options.LastAnswersAllowed = allow;
        options.CostCenterMandatory = true;
        job.manager.SetJobOptions(options);
        job.manager.FSkipIfNotMandatory = true;
        TQuestionSet &costCenter = job.set(FormType::CostCenter);
        costCenter.First()->SaveLastAnswerMode = 2;
        TQuestionForm form;
        form.SetQuestionManager(&job.manager);
        form.SetQuestionSet(&costCenter);
        EXPECT_EQ(costCenter.SkipState, 0) << "a mandatory cost center is still asked";
        form.SetFormMode(fmMiddle);
        form.LastAnswersBtnClick();
        EXPECT_EQ(job.finished, 0) << "only in the first or single dialog";
        form.SetFormMode(fmFirst);
        form.LastAnswersBtnClick();
        EXPECT_EQ(job.finished, allow ? 1 : 0);
    }
}

TEST(QuestionForm, RightToLeftMirrorsTheDialog) {
    SetRightToLeftLayout(true);
    FormJob job;
    TQuestionSet &set = job.set(FormType::Integer);
    job.present(set);
    SetRightToLeftLayout(false);
    auto &form = job.as<TIntegerQuestionForm>();
    const int width = form.MainPanel->width();
    EXPECT_EQ(form.AnswerEdit->geometry(), QRect(width - 70 - 121, 152, 121, 21));
    EXPECT_EQ(form.CancelBtn->x(), width - (451 + 2) - 75) << "bottom-right buttons go left";
    EXPECT_EQ(form.QuestionLbl->alignment(), taRightJustify);
    EXPECT_EQ(form.TitleLbl->alignment(), taRightJustify);
    EXPECT_EQ(form.TitleLbl->width(), 376);
    EXPECT_EQ(form.layoutDirection(), Qt::RightToLeft);
    EXPECT_LT(form.TopRightBmp->x(), form.TopLeftBmp->x()) << "title bar mirrored";
}

TEST(QuestionForm, LookOfTheFrame) {
    TQuestionForm form;
    EXPECT_EQ(form.MainPanel->palette().color(QPalette::Window), QColor(0xF6, 0xFB, 0xFF));
    EXPECT_EQ(form.Panel2->palette().color(QPalette::Window), QColor(0x52, 0x51, 0x4F));
    EXPECT_EQ(form.Panel2->height(), 49);
    EXPECT_EQ(form.Shape1->palette().color(QPalette::Window), QColor(0xBA, 0xC9, 0xD8));
    EXPECT_EQ(form.Shape1->height(), 2);
    EXPECT_EQ(form.TitleLbl->font().pixelSize(), 19);
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.NextBtn->size(), QSize(75, 25));
    EXPECT_TRUE(form.NextBtn->isDefault());
    form.resize(600, 400);
    form.show();
    EXPECT_EQ(form.CancelBtn->geometry().bottomRight(), QPoint(600 - 8 - 1, 400 - 12 - 1))
        << "anchored to the bottom right";
}

// Escape acts as Cancel wherever the key press lands in the dialog, and only while Cancel is
// offered.
TEST(QuestionForm, EscapeCancels) {
    for (const char *formType : {FormType::String, FormType::Integer, FormType::Money}) {
        FormJob job;
        job.set(formType);
        job.start();
        QWidget *edit = job.form->findChild<QWidget *>(QStringLiteral("AnswerEdit"));
        ASSERT_NE(edit, nullptr) << formType;
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_EQ(job.cancelled, 1) << formType;
    }

    FormJob job;
    job.set(FormType::String);
    job.start();
    job.form->CancelBtn->hide();
    QTest::keyClick(job.form->NextBtn, Qt::Key_Escape);
    EXPECT_EQ(job.cancelled, 0) << "no Cancel, no Escape";
    job.form->CancelBtn->show();
    QTest::keyClick(job.form->NextBtn, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(job.cancelled, 0) << "Shift+Escape is another key";
    QTest::keyClick(job.form->NextBtn, Qt::Key_Escape);
    EXPECT_EQ(job.cancelled, 1);
}

TEST(QuestionForm, WhatScreenReadersAreTold) {
    FormJob job;
    TQuestionSet &set = job.set(FormType::Integer);
    set.Title = "Copies for Finance";
    set.First()->Mandatory = true;
    job.start();
    TQuestionForm &form = *job.form;

    EXPECT_EQ(form.window()->windowTitle(), QLatin1String("Copies for Finance"));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(form.window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->text(QAccessible::Name), QLatin1String("Copies for Finance"));

    for (QLabel *picture : {form.TopLeftBmp, form.TopRightBmp, form.BottomLeftBmp}) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(picture);
        EXPECT_TRUE(a->text(QAccessible::Name).isEmpty()) << "decorative";
        EXPECT_FALSE(a->state().focusable);
    }
    QAccessibleInterface *edit = QAccessible::queryAccessibleInterface(
        form.findChild<QWidget *>(QStringLiteral("AnswerEdit")));
    EXPECT_TRUE(edit->text(QAccessible::Description).startsWith(QLatin1String("Required")))
        << "a mandatory answer";

    // The error line speaks as a live region: its name is the message, and it is only there
    // while it has one.
    QAccessibleInterface *error = QAccessible::queryAccessibleInterface(form.ErrorLbl);
    EXPECT_TRUE(error->state().invisible) << "an empty error line is not showing";
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_FALSE(error->state().invisible);
    EXPECT_EQ(error->text(QAccessible::Name),
              QLatin1String("You are required to provide an answer."));
    form.findChild<QLineEdit *>(QStringLiteral("AnswerEdit"))->setText(QStringLiteral("3"));
    EXPECT_TRUE(form.ValidateAnswers());
    EXPECT_TRUE(error->state().invisible);
    EXPECT_TRUE(error->text(QAccessible::Name).isEmpty());
}

} // namespace

namespace {

// The focusable controls a screen reader reaches that lack a name or a description.
QStringList unnamedOrUndescribed(QWidget *root) {
    QStringList found;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
        if (!a || !a->state().focusable || a->state().invisible)
            continue;
        if (a->text(QAccessible::Name).isEmpty() || a->text(QAccessible::Description).isEmpty())
            found << QStringLiteral("%1 '%2' / '%3'")
                         .arg(widget->objectName(), a->text(QAccessible::Name),
                              a->text(QAccessible::Description));
    }
    return found;
}

TEST(QuestionForm, EveryFocusableControlIsNamedAndDescribedAndTheWindowTitled) {
    for (const char *formType :
         {FormType::String, FormType::Integer, FormType::Float, FormType::Money,
          FormType::PhoneNumber, FormType::Logon, FormType::Button, FormType::Combo,
          FormType::Radio, FormType::List, FormType::GuestCard, FormType::CostCenter}) {
        FormJob job;
        TQuestionSet &first = job.set(FormType::String);
        first.Title = "Before";
        TQuestionSet &set = job.set(formType, 2);
        set.Title = "Charge to";
        for (int i = 0; i < set.Count(); ++i) {
            set.Question(i)->Description = QStringLiteral("About question %1").arg(i + 1);
            set.Question(i)->Choices = {"Alpha", "Beta"};
        }
        job.start();
        job.form->NextBtnClick();
        ASSERT_EQ(job.presented.back(), &set) << formType;
        QWidget *window = job.form->window();
        EXPECT_EQ(window->windowTitle(), QLatin1String("Charge to")) << formType;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->text(QAccessible::Name),
                  QLatin1String("Charge to"))
            << formType;
        EXPECT_EQ(unnamedOrUndescribed(job.form.get()), QStringList()) << formType;
    }
}

} // namespace

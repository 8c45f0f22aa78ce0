// SPDX-License-Identifier: MIT
#include "AlignLabel.h"
#include "BalloonNotify.h"
#include "BalloonQuestionFrm.h"
#include "MainFrm.h"
#include "PopupMessages.h"
#include "QueriantApp.h"
#include "QuestionFrm.h"
#include "TestSupport.h"
#include "ZvNamedEvent.h"
#include "ZvSharedSection.h"

#include <QAccessible>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <cstring>

namespace {

const QString UnknownFormRequest = QStringLiteral(
    "<questionsets><questionset><formtype>nosuchform</formtype><title>T</title>"
    "<timeout>30</timeout><question><id>stringform</id><prompt>Name?</prompt></question>"
    "</questionset></questionsets>");

// The request section as its creator writes it: flag 1, UTF-16LE text, a 16-bit zero.
std::unique_ptr<zv::ZvSharedSection> createRequestSection(const QString &name,
                                                          const QString &text) {
    auto section = zv::ZvSharedSection::create(name);
    char *out = section->data();
    qToLittleEndian<qint32>(1, out);
    out += 4;
    for (QChar c : text) {
        qToLittleEndian<quint16>(c.unicode(), out);
        out += 2;
    }
    return section;
}

bool allZero(const zv::ZvSharedSection &section) {
    return std::all_of(section.data(), section.data() + section.size(),
                       [](char c) { return c == 0; });
}

class MainFormTest : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    zvtest::ScopedEnv trigger{"ZORVANT_UPDATE_TRIGGER",
                              sandbox.uniqueName(QStringLiteral("trigger")).toUtf8()};
    ~MainFormTest() override { zv::ZvNamedEvent::unlink(UpdateTriggerEventName()); }
};

TEST_F(MainFormTest, ErrorScreenAppendsMessagesAndExplainsArabicText) {
    TMainForm form({QStringLiteral("queriant")}); // a test run; its job is never started
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_TRUE(form.ErrorLbl->isHidden());

    form.HandleException(zv::ZvError(QStringLiteral("Form type: x is unknown")));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.ErrorLbl->isHidden());
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_EQ(form.ErrorText(), "Form type: x is unknown");
    EXPECT_EQ(form.ArabicErrorText(), "");
    EXPECT_EQ(form.TitleText(), "Print job Details");

    form.HandleException(
        EArabicLanguageException(QStringLiteral("Unable to display Arabic language")));
    EXPECT_EQ(form.ErrorText(), "Form type: x is unknown\r\nUnable to display Arabic language");
    EXPECT_EQ(form.TitleText(), "Print Job Error");
    EXPECT_TRUE(form.ArabicErrorText().startsWith(
        "Your print job is not processed.\r\n\r\nZorvant Queue is configured"));
    EXPECT_EQ(form.ArabicErrorLbl->geometry(),
              QRect(form.ErrorLbl->x(), form.ErrorLbl->y() + 35, form.ErrorLbl->width(),
                    form.ErrorLbl->height() - 35));
}

TEST_F(MainFormTest, EndOfTheRunSignalsTheUpdateTrigger) {
    auto event = zv::ZvNamedEvent::openOrCreate(UpdateTriggerEventName());
    EXPECT_FALSE(event->isSignalled());
    { TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")}); }
    EXPECT_TRUE(event->wait(0));
}

TEST_F(MainFormTest, RequestFileJobWithAnUnknownFormTypeFails) {
    const QString name = sandbox.uniqueName(QStringLiteral("request"));
    auto section = createRequestSection(name, UnknownFormRequest);
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("/XpNotify"), name});
    try {
        form.StartJob();
        FAIL() << "the job started";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), "Form type: nosuchform is unknown");
    }
    EXPECT_TRUE(allZero(*section)) << "the request is cleared from the section once read";
    EXPECT_TRUE(form.DialogTimeOut().Enabled()) << "armed when the job started";
    EXPECT_EQ(form.DialogTimeOut().Interval(), 32000);
    zv::ZvSharedSection::unlink(name);
}

TEST_F(MainFormTest, AutomationFailureGoesToTheCallerNotTheErrorScreen) {
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")});
    EXPECT_THROW(form.BeginAutomationJob(UnknownFormRequest), zv::ZvError);
    EXPECT_TRUE(form.AutomationJobBusy());

    QSignalSpy failed(&form, &TMainForm::AutomationJobFailed);
    form.HandleException(zv::ZvError(QStringLiteral("broken")));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed.at(0).at(0).toString(), "broken");
    EXPECT_TRUE(form.ErrorLbl->isHidden());

    form.AbandonAutomationJob();
    EXPECT_FALSE(form.AutomationJobBusy());
    EXPECT_FALSE(form.DialogTimeOut().Enabled());
    EXPECT_FALSE(form.isVisible());

    // Idle again: a failure outside a job shows the error screen.
    form.HandleException(zv::ZvError(QStringLiteral("outside")));
    EXPECT_EQ(form.ErrorText(), "outside");
}

const QString StringRequest = QStringLiteral(
    "<questionsets><questionset><formtype>stringform</formtype><title>T</title>"
    "<timeout>30</timeout><question><id>stringform</id><prompt>Name?</prompt></question>"
    "</questionset></questionsets>");

TEST_F(MainFormTest, AutomationJobCancelledInItsDialog) {
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")});
    QSignalSpy ended(&form, &TMainForm::AutomationJobEnded);
    form.BeginAutomationJob(StringRequest);
    TQuestionForm *dialog = form.CurrentDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(form.isVisible()) << "the dialog shows its host";
    EXPECT_EQ(dialog->geometry(), QRect(0, 0, 520, 360)) << "the job's client size";
    EXPECT_EQ(form.size(), QSize(520, 360));

    // Activity starts the full interval again.
    EXPECT_EQ(form.DialogTimeOut().Interval(), 32000);
    QTest::qWait(300);
    EXPECT_LT(form.DialogTimeOut().RemainingTime(), 31800);
    form.Manager()->NotifyActivity();
    EXPECT_GT(form.DialogTimeOut().RemainingTime(), 31800);

    QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    EXPECT_EQ(ended.size(), 1);
    EXPECT_FALSE(form.AutomationJobBusy());
    EXPECT_FALSE(form.isVisible()) << "nothing stays on screen after the job";
    EXPECT_FALSE(form.DialogTimeOut().Enabled());
    EXPECT_TRUE(form.AutomationAnswer().contains("<response>usercancel</response>"));
}

// What the user and a screen reader meet: the dialog's title on the window, nothing of the
// error screen behind a dialog; the error screen centred at the job's size, with its advice
// line, closed by Escape as by OK.
TEST_F(MainFormTest, WindowTitleHiddenControlsAndTheErrorScreen) {
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")});
    EXPECT_TRUE(form.Button1->isHidden());
    form.BeginAutomationJob(StringRequest);
    ASSERT_TRUE(form.CurrentDialog());
    EXPECT_EQ(form.windowTitle(), "T");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&form)->text(QAccessible::Name), "T");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&form)->role(), QAccessible::Dialog);
    EXPECT_TRUE(form.Button1->isHidden());
    EXPECT_TRUE(form.Panel2->isHidden()) << "the host's title bar lies behind the dialog";
    form.AbandonAutomationJob();

    TMainForm screen({QStringLiteral("queriant")}); // a test run; its job is never started
    QSignalSpy ok(screen.Button1, &QPushButton::clicked);
    screen.HandleException(zv::ZvError(QStringLiteral("Failed to connect")));
    EXPECT_EQ(screen.size(),
              QSize(screen.Manager()->FClientWidth, screen.Manager()->FClientHeight));
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(screen.pos(), QPoint((monitor.width() - screen.width()) / 2,
                                   (monitor.height() - screen.height()) / 2));
    EXPECT_EQ(screen.AdviceLbl->caption(),
              "Your print job was not released. Print it again; if this keeps happening, "
              "contact your administrator.");
    EXPECT_FALSE(screen.AdviceLbl->isHidden());
    EXPECT_LE(screen.ErrorLbl->geometry().bottom(), screen.AdviceLbl->geometry().top());
    EXPECT_EQ(screen.ErrorText(), "Failed to connect") << "the failure's own text";
    EXPECT_EQ(screen.windowTitle(), screen.TitleText());
    EXPECT_FALSE(screen.Button1->isHidden());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(screen.Button1)->text(QAccessible::Description),
              "Failed to connect")
        << "OK is read with what it closes";
    QTest::keyClick(screen.Button1, Qt::Key_Escape);
    EXPECT_EQ(ok.size(), 1);
}

TEST_F(MainFormTest, StartQuestionManagerStartsTheJobAndSetsTheTitle) {
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")});
    QSignalSpy ended(&form, &TMainForm::AutomationJobEnded);
    form.StartQuestionManager(4711);
    EXPECT_EQ(TQueriantApplication::Title(), "4711");
    EXPECT_EQ(ended.size(), 1) << "a job without questions finishes at once";

    form.BeginAutomationJob(StringRequest);
    ASSERT_TRUE(form.isVisible());
    form.HideQuestionManager();
    EXPECT_FALSE(form.isVisible());
    form.AbandonAutomationJob();
}

// A balloon set shows no window. Tests have no session bus: the balloon is not seen, waits
// out its second and the next set follows in the window.
TEST_F(MainFormTest, BalloonSetKeepsTheWindowHiddenUntilItEnds) {
    TMainForm form({QStringLiteral("queriant"), QStringLiteral("-Embedding")});
    form.BeginAutomationJob(QStringLiteral(
        "<questionsets><questionset><formtype>balloonform</formtype><title>Notice</title>"
        "<question><id>balloonform</id><prompt>Toner is low</prompt><icon>2</icon></question>"
        "</questionset><questionset><formtype>stringform</formtype><title>T</title>"
        "<timeout>1</timeout><question><id>stringform</id><prompt>Name?</prompt></question>"
        "</questionset></questionsets>"));
    auto *balloonForm = qobject_cast<TBalloonQuestionForm *>(form.CurrentDialog());
    ASSERT_TRUE(balloonForm);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(balloonForm->isHidden());
    auto *notifier = dynamic_cast<TBalloonNotify *>(balloonForm->Notifier());
    ASSERT_TRUE(notifier);
    EXPECT_EQ(notifier->ShellVersion(), 3);
    EXPECT_TRUE(notifier->InNotificationArea());
    const int remaining = notifier->Notification().RemainingTime();
    EXPECT_GT(remaining, 0);
    EXPECT_LE(remaining, 1000);

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.CurrentDialog() && form.CurrentDialog() != balloonForm; }, 5000));
    EXPECT_EQ(form.CurrentDialog()->QuestionSet()->Title, "T");
    EXPECT_TRUE(form.isVisible());
    form.AbandonAutomationJob();
}

} // namespace

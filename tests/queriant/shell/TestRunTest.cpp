// SPDX-License-Identifier: MIT
// A start without parameters with the real zvdbserver and zvpopupd, offscreen: the job chosen
// in the tester's form reaches the popup server, and the same form lists the answers after it.
#include "AesUse.h"
#include "ClientTestFrm.h"
#include "CostCenterQuestionFrm.h"
#include "EnhLabeledEdit.h"
#include "MainFrm.h"
#include "QueriantApp.h"
#include "TestRunServers.h"
#include "TestSupport.h"
#include "ZvNamedEvent.h"
#include "ZvRegistry.h"
#include "ZvUserInfo.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs action on the tester's form once it is shown modally (the caller is blocked in it).
void whenFormShows(const std::function<void(TClientTestForm &)> &action) {
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto *form = qobject_cast<TClientTestForm *>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(*form);
    });
    poll->start(10);
}

class TestRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAesUse::Init(); }
    zvtest::Sandbox sandbox;
    zvtest::ScopedEnv trigger{"ZORVANT_UPDATE_TRIGGER",
                              sandbox.uniqueName(QStringLiteral("trigger")).toUtf8()};
    zvtest::TestRunServers servers{sandbox};
    ~TestRunTest() override { zv::ZvNamedEvent::unlink(UpdateTriggerEventName()); }
};

TEST_F(TestRunTest, JobChosenInTheFormIsAskedAndItsAnswersListed) {
    ASSERT_TRUE(servers.StartPopupServer());
    ASSERT_TRUE(servers.StartDatabase());
    // A dialog time-out must not end the run while the tester reads the answers.
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                         QStringLiteral("SOFTWARE\\Zorvant\\Popup Client"))
        .writeDWord(QStringLiteral("FinishDialogTimeout"), 30);
    TQueriantApplication::SetExitCode(0);

    TMainForm main({QStringLiteral("queriant")});
    whenFormShows([](TClientTestForm &form) {
        // The last print server is localhost, listed after 127.0.0.1 once per queue of its.
        QTest::keyClick(form.PrintServerCb, Qt::Key_End);
        EXPECT_EQ(form.PrintServerCb->currentText(), QStringLiteral("localhost"));
        EXPECT_EQ(form.SpoolQueueCb->currentText(), QStringLiteral("Mono"));
        form.UserNameEdt->setText(QStringLiteral("carol"));
        form.JobNameEdt->setText(QStringLiteral("budget.xls"));
        form.TestPopupsBtn->click();
    });
    main.StartJob();
    EXPECT_EQ(servers.PopupLog().count("received INITNEWJOB [" + zv::hostName().toUtf8() +
                                       "|localhost|Mono|carol|budget.xls]"),
              1)
        << servers.PopupLog().constData();
    EXPECT_TRUE(servers.PopupLog().contains("received GETNEXTDESCRIPTOR"));

    TQuestionForm *comment = main.CurrentDialog();
    ASSERT_TRUE(comment);
    QLineEdit *edit = comment->findChild<QLineEdit *>();
    ASSERT_TRUE(edit);
    QTest::keyClicks(edit, QStringLiteral("two-sided"));
    comment->NextBtn->click();
    auto *costCenter = qobject_cast<TCostCenterQuestionForm *>(main.CurrentDialog());
    ASSERT_TRUE(costCenter);
    costCenter->Search[0]->setText(QStringLiteral("d200"));
    QTest::keyClick(costCenter->Search[0], Qt::Key_Return);

    bool listed = false;
    whenFormShows([&](TClientTestForm &form) {
        listed = true;
        EXPECT_FALSE(main.DialogTimeOut().Enabled());
        EXPECT_FALSE(main.isVisible());
        const TTestAnswersModel &m = form.AnswersModel();
        // A cost-center question shows its code, any other its name.
        const QStringList expected[] = {{"Comment", "Comment?", "two-sided"},
                                        {"Dept", "Department?", "D200"}};
        EXPECT_EQ(m.rowCount(), 2);
        for (int row = 0; row < std::min(m.rowCount(), 2); ++row)
            for (int column = 0; column < 3; ++column)
                EXPECT_EQ(m.index(row, column).data().toString(), expected[row][column]);
        EXPECT_TRUE(form.TestPopupsBtn->isHidden());
        EXPECT_FALSE(form.ParamPnl->isEnabled());
        EXPECT_EQ(form.PrintServerCb->currentText(), QStringLiteral("localhost"));
        form.ExitBtn->click();
    });
    costCenter->NextBtn->click();
    EXPECT_TRUE(listed);
    EXPECT_EQ(TQueriantApplication::ExitCode(), 1);
}

} // namespace

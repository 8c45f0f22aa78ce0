// SPDX-License-Identifier: MIT
// The tester's dialog filled from the real zvdbserver, offscreen.
#include "ClientTestFrm.h"

#include "BaseDBClient.h"
#include "PopupServerProcess.h"
#include "Questions.h"
#include "TestSupport.h"
#include "ZvUserInfo.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QStringList entries(const QComboBox &box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i);
    return out;
}

class ClientTestFormTest : public ::testing::Test {
protected:
    // Starts zvdbserver over data (the demo data when empty) and points the registry at it.
    void startServer(const QByteArray &data = {}, const QStringList &options = {}) {
        const QString dataFile = data.isEmpty()
                                     ? QStringLiteral(ZV_BIN_DIR "/zvdbserver-demo.json")
                                     : m_sandbox.writeFile(QStringLiteral("db.json"), data);
        m_server = std::make_unique<zvtest::PopupServerProcess>(
            QStringLiteral(ZV_BIN_DIR "/zvdbserver"),
            QStringList{QStringLiteral("--data"), dataFile, QStringLiteral("--key-bits"),
                        QStringLiteral("512")} +
                options);
        ASSERT_NE(m_server->port(), 0);
        pointRegistryAt(m_server->port());
    }
    void pointRegistryAt(int port) {
        m_sandbox.writeFile(QStringLiteral("machine.reg"),
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Zorvant\\Database Server]\r\n"
                            "\"Host Address\"=\"localhost\"\r\n\"Port Name\"=\"" +
                                QByteArray::number(port) + "\"\r\n\"Timeout\"=dword:00000003\r\n");
    }
    zvtest::Sandbox m_sandbox;
    std::unique_ptr<zvtest::PopupServerProcess> m_server;
};

TEST_F(ClientTestFormTest, ListsHoldWhatTheServerSentAndOkHandsOverTheChoice) {
    startServer();
    TClientTestForm form({});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zorvant Popup Client Tester"));
    EXPECT_EQ(form.size(), QSize(406, 331));
    EXPECT_EQ(entries(*form.popupServerCb),
              QStringList({QStringLiteral("PRINTSRV1"), QStringLiteral("PRINTSRV2")}));
    // A server is listed once per queue.
    EXPECT_EQ(entries(*form.PrintServerCb),
              QStringList({QStringLiteral("PRINTSRV1"), QStringLiteral("PRINTSRV1"),
                           QStringLiteral("PRINTSRV2")}));
    EXPECT_EQ(
        entries(*form.SpoolQueueCb),
        QStringList({QStringLiteral("Mono"), QStringLiteral("Colour"), QStringLiteral("Plotter")}));
    EXPECT_EQ(form.PrintServerCb->currentIndex(), 0);
    EXPECT_EQ(form.SpoolQueueCb->currentIndex(), 0);
    EXPECT_EQ(form.UserNameEdt->text(), zv::loginName());
    EXPECT_EQ(form.WorkStationEdt->text(), zv::hostName());
    EXPECT_EQ(form.JobNameEdt->text(), QStringLiteral("Default Job"));

    form.PrintServerCb->setCurrentIndex(2);
    form.PrintServerCbChange();
    EXPECT_EQ(form.SpoolQueueCb->currentText(), QStringLiteral("Plotter"));
    form.SpoolQueueCb->setCurrentIndex(1);
    form.PrintServerCb->setCurrentIndex(0);
    form.PrintServerCbChange();
    EXPECT_EQ(form.SpoolQueueCb->currentText(), QStringLiteral("Mono"));

    form.WorkStationEdt->setText(QStringLiteral("WS7"));
    form.UserNameEdt->setText(QStringLiteral("alice"));
    form.JobNameEdt->setText(QStringLiteral("Report.pdf"));
    form.TestPopupsBtn->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const TTestFormResult r = form.JobResult();
    EXPECT_EQ(r.JobDetails.WorkStation, QStringLiteral("WS7"));
    EXPECT_EQ(r.JobDetails.OmbrelServer, QStringLiteral("PRINTSRV1"));
    EXPECT_EQ(r.JobDetails.SpoolQueue, QStringLiteral("Mono"));
    EXPECT_EQ(r.JobDetails.UserName, QStringLiteral("alice"));
    EXPECT_EQ(r.JobDetails.Document, QStringLiteral("Report.pdf"));
    EXPECT_EQ(r.JobDetails.PrinterName, QStringLiteral("dummy"));
    EXPECT_EQ(r.JobDetails.NumPages, 1);
    EXPECT_EQ(r.ServerHost, QStringLiteral("PRINTSRV1"));
    EXPECT_EQ(r.ServerPort, QStringLiteral("28203"));
    EXPECT_EQ(r.ReceiveTimeout, QStringLiteral("30"));
}

TEST_F(ClientTestFormTest, ParametersFilterTheServersAndChooseTheGroup) {
    startServer();
    TClientTestForm form(
        {QStringLiteral("printsrv2"), QStringLiteral("Plotter"), QStringLiteral("Drawing Office")});
    // The filter comes first; the server rows equal to it are not listed again.
    EXPECT_EQ(entries(*form.PrintServerCb), QStringList{QStringLiteral("printsrv2")});
    EXPECT_EQ(entries(*form.SpoolQueueCb), QStringList{QStringLiteral("Plotter")});
    EXPECT_EQ(form.popupServerCb->currentText(), QStringLiteral("PRINTSRV2"));
    EXPECT_EQ(form.Lists().ServerQueues, QStringList{QStringLiteral("PRINTSRV2,Plotter")});

    TClientTestForm tester({QStringLiteral("TEST")});
    EXPECT_EQ(entries(*tester.PrintServerCb).size(), 3);
}

TEST_F(ClientTestFormTest, EmptyTablesLeaveEveryListEmpty) {
    startServer(R"({"servers": [], "serviceTypes": [], "spoolqs": []})");
    TClientTestForm form({});
    for (const QComboBox *box : {form.popupServerCb, form.PrintServerCb, form.SpoolQueueCb}) {
        EXPECT_EQ(box->count(), 0) << box->objectName().toStdString();
        EXPECT_EQ(box->currentIndex(), -1);
    }
    form.PrintServerCbChange();
    EXPECT_EQ(form.SpoolQueueCb->currentIndex(), -1);
    const TTestFormResult r = form.JobResult();
    EXPECT_TRUE(r.ServerPort.isEmpty());
    EXPECT_TRUE(r.ReceiveTimeout.isEmpty());
}

TEST_F(ClientTestFormTest, DatabaseFailuresEndTheFormsCreationWithTheirText) {
    {
        startServer({},
                    {QStringLiteral("--fault"), QStringLiteral("error:Table SERVERS is locked")});
        EXPECT_THROW(
            try { TClientTestForm form({}); } catch (const EZvComException &e) {
                EXPECT_EQ(e.message(), QStringLiteral("Table SERVERS is locked"));
                throw;
            },
            EZvComException);
    }
    {
        startServer({},
                    {QStringLiteral("--fault"), QStringLiteral("auth-error:Database is starting")});
        EXPECT_THROW(TClientTestForm form({}), EZvComException);
    }
    const int port = m_server->port();
    m_server.reset();
    pointRegistryAt(port);
    try {
        TClientTestForm form({});
        ADD_FAILURE() << "no exception";
    } catch (const EZvComException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Connection refused"));
    }
}

TEST_F(ClientTestFormTest, AnswersAreListedAfterTheJob) {
    startServer();
    TClientTestForm form({});
    QAbstractItemModelTester modelTester(&form.AnswersModel(),
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    TQuestion plain;
    plain.Name = QStringLiteral("Project");
    plain.Code = QStringLiteral("unused");
    plain.Prompt = QStringLiteral("Which project?");
    plain.FormType = "textform";
    plain.SetAnswer(QStringLiteral("Apollo"));
    TQuestion costCenter;
    costCenter.Name = QStringLiteral("CC1");
    costCenter.Code = QStringLiteral("DEPT");
    costCenter.Prompt = QStringLiteral("Department");
    costCenter.FormType = "costcenterform";
    costCenter.SetAnswer(QStringLiteral("4711"));

    form.ShowAnswers({TestAnswerRowOf(plain), TestAnswerRowOf(costCenter)});
    const TTestAnswersModel &m = form.AnswersModel();
    ASSERT_EQ(m.rowCount(), 2);
    const char *expected[2][3] = {{"Project", "Which project?", "Apollo"},
                                  {"DEPT", "Department", "4711"}};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(m.index(row, column).data().toString(),
                      QString::fromLatin1(expected[row][column]));
    EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Answers"));
    EXPECT_TRUE(form.TestPopupsBtn->isHidden());
    EXPECT_FALSE(form.ParamPnl->isEnabled());
    EXPECT_TRUE(form.ExitBtn->isEnabled());
}

} // namespace

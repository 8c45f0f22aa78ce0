// SPDX-License-Identifier: MIT
// The print data manager against real sections and registry hives: the job details by the
// number of command-line parameters, the server settings, the sign-up user, and the answer
// record it writes back.
#include "PrintDataManager.h"
#include "Fixtures.h"
#include "ZvRegistry.h"

using jobtest::Int32;
using jobtest::Text;

namespace {

QByteArray jobSection() {
    return Text("WS1") + Text("PRINTSRV") + Text("Finance") + Text("alice") + Text("report.pdf") +
           Text("HP 4000") + Int32(12);
}

void writeServerKey(const QString &port, const QString &timeOut) {
    const auto key =
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine, QString::fromLatin1(PopupServerKeyName));
    key.writeString(QStringLiteral("ServerPort"), port);
    key.writeString(QStringLiteral("ReceiveTimeout"), timeOut);
}

class PrintDataManagerTest : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    jobtest::CaptureLog log;
    jobtest::TestSection section{sandbox.uniqueName(QStringLiteral("job")), jobSection()};
};

} // namespace

TEST_F(PrintDataManagerTest, NormalStartReadsSectionServerSettingsAndSignUpUser) {
    writeServerKey(QStringLiteral("28300"), QStringLiteral("15"));
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine, QString::fromLatin1(SignUpClientKeyName))
        .writeString(QStringLiteral("SessionDetails"), QStringLiteral("bob"));

    TPrintDataManager pdm({section.name()});
    EXPECT_EQ(pdm.JobDetails.WorkStation, QStringLiteral("WS1"));
    EXPECT_EQ(pdm.JobDetails.NumPages, 12);
    EXPECT_EQ(pdm.ServerHost, QStringLiteral("PRINTSRV"));
    EXPECT_EQ(pdm.ServerPort, QStringLiteral("28300"));
    EXPECT_EQ(pdm.ReceiveTimeout, QStringLiteral("15"));
    EXPECT_FALSE(pdm.TestMode);
    EXPECT_EQ(pdm.JobDetails.UserName, QStringLiteral("bob"));
    EXPECT_EQ(pdm.JobDetails.ReceivedUserName, QStringLiteral("alice"));
    EXPECT_TRUE(log.has(QStringLiteral("EnrollaUser=\"bob\"")));

    // A logon answer replaces the user; an empty one restores the section's, not the sign-up user.
    pdm.SetUserName(QStringLiteral("carol"));
    EXPECT_EQ(pdm.JobDetails.UserName, QStringLiteral("carol"));
    pdm.SetUserName(QString());
    EXPECT_EQ(pdm.JobDetails.UserName, QStringLiteral("alice"));
}

TEST_F(PrintDataManagerTest, MissingServerKeyEndsTheStartAndMissingValuesAreEmpty) {
    try {
        TPrintDataManager pdm({section.name()});
        FAIL() << "no error";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Failed to open HKEY_LOCAL_MACHINE Registry "
                                              "key:SOFTWARE\\Zorvant\\Popup Client\\server"));
    }
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine, QString::fromLatin1(PopupServerKeyName));
    TPrintDataManager pdm({section.name()});
    EXPECT_TRUE(pdm.ServerPort.isEmpty());
    EXPECT_TRUE(pdm.ReceiveTimeout.isEmpty());
    EXPECT_EQ(pdm.JobDetails.UserName, QStringLiteral("alice"));
}

TEST_F(PrintDataManagerTest, MissingSectionIsNamed) {
    writeServerKey(QStringLiteral("28300"), QStringLiteral("15"));
    const QString missing = sandbox.uniqueName(QStringLiteral("gone"));
    try {
        TPrintDataManager pdm({missing});
        FAIL() << "started without its section";
    } catch (const zv::ZvError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot read the job details section \"%1\": "
                                              "Failed to open map file. Error:2")
                                   .arg(missing));
    }
}

TEST_F(PrintDataManagerTest, OtherParameterCounts) {
    // Two or more: print server and queue, nothing read.
    TPrintDataManager two({QStringLiteral("SRV2"), QStringLiteral("Q2"), QStringLiteral("x")});
    EXPECT_EQ(two.JobDetails.OmbrelServer, QStringLiteral("SRV2"));
    EXPECT_EQ(two.JobDetails.SpoolQueue, QStringLiteral("Q2"));
    EXPECT_TRUE(two.ServerHost.isEmpty());

    // None: the test form, confirmed or cancelled; without one the start fails.
    EXPECT_THROW(TPrintDataManager({}), zv::ZvError);
    EXPECT_THROW(TPrintDataManager({}, [] { return std::optional<TTestFormResult>(); }),
                 ETestRunCancelled);
    TPrintDataManager test({}, [] {
        TTestFormResult r;
        r.JobDetails.SpoolQueue = QStringLiteral("TQ");
        r.ServerHost = QStringLiteral("127.0.0.1");
        r.ServerPort = QStringLiteral("1234");
        r.ReceiveTimeout = QStringLiteral("5");
        return std::optional<TTestFormResult>(r);
    });
    EXPECT_TRUE(test.TestMode);
    EXPECT_EQ(test.JobDetails.SpoolQueue, QStringLiteral("TQ"));
    EXPECT_EQ(test.ServerPort, QStringLiteral("1234"));
    // Only the normal start writes a record.
    test.WriteAnswers(false, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(section.bytes().left(jobSection().size()), jobSection());
}

TEST_F(PrintDataManagerTest, WritesTheAnswerRecord) {
    writeServerKey(QString(), QString());
    zvtest::ScopedEnv session{"XDG_SESSION_ID", "7"};
    struct Case {
        const char *name;
        bool guestChoice;
        bool guestCardFirst;
        QList<QByteArray> header;
        QList<QByteArray> pairs;
    };
    const QList<QByteArray> tail{"StaticNotifyIP", "10.1.2.3:S7"};
    const Case cases[] = {
        {"answers with and without category",
         false,
         false,
         {"WS1", "alice", "report.pdf", "12"},
         {"Comment", "hello", "CC_Static", "Dept\rD200", "StaticNotifyIP", "10.1.2.3:S7"}},
        {"guest card question left out",
         false,
         true,
         {"WS1", "alice", "report.pdf", "12"},
         {"Comment", "hello", "CC_Static", "Dept\rD200", "StaticNotifyIP", "10.1.2.3:S7"}},
        {"guest choice: first answer as user, no pairs",
         true,
         true,
         {"WS1", "GUEST-7", "report.pdf", "12"},
         tail},
    };
    TPrintDataManager pdm({section.name()});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TAnswerItem> items;
        if (c.guestCardFirst)
            items.emplace_back(QStringLiteral("Guest"), QString(), "guestcardform",
                               QStringLiteral("GUEST-7"));
        items.emplace_back(QStringLiteral("Comment"), QString(), "stringform",
                           QStringLiteral("hello"));
        items.emplace_back(QStringLiteral("Department"), QStringLiteral("Dept"), "costcenterform",
                           QStringLiteral("D200"));
        pdm.SetQuestions(std::move(items));
        pdm.WriteAnswers(c.guestChoice, QStringLiteral("10.1.2.3"));
        const QByteArray expected = EncodeAnswerRecord(c.header, c.pairs, QByteArray());
        EXPECT_EQ(section.bytes().left(expected.size()), expected);
        EXPECT_TRUE(pdm.Questions().empty());
    }
}

TEST_F(PrintDataManagerTest, SessionNumberFallsBackToZero) {
    zvtest::ScopedEnv session{"XDG_SESSION_ID", "c2"};
    EXPECT_EQ(TPrintDataManager::SessionId(), 0);
}

// SPDX-License-Identifier: MIT
// The client's protocol against the real zvpopupd binary on the loopback interface.
#include "PopupProtocol.h"
#include "PopupServerProcess.h"
#include "TestSupport.h"

#include <QFile>
#include <QThread>

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString demoScenario() {
    return QStringLiteral(ZV_BIN_DIR "/zvpopupd-demo.json");
}

QStringList serverArguments(const QStringList &extra, const QString &scenario,
                            const QString &logPath) {
    QStringList args{QStringLiteral("--scenario"), scenario};
    if (!logPath.isEmpty())
        args << QStringLiteral("--log") << logPath;
    return args + extra;
}

// One zvpopupd process for one test; stopped when the test ends.
class PopupServerProcess : public zvtest::PopupServerProcess {
public:
    explicit PopupServerProcess(const QStringList &extra = {},
                                const QString &scenario = demoScenario(),
                                const QString &logPath = QString())
        : zvtest::PopupServerProcess(QStringLiteral(ZV_BIN_DIR "/zvpopupd"),
                                     serverArguments(extra, scenario, logPath)) {}
};

void pointAt(TProtocolSocket &socket, int port, int timeOut = 5) {
    socket.Address = QStringLiteral("127.0.0.1");
    socket.Port = port;
    socket.TimeOut = timeOut;
    socket.ConnectRetries = 1;
}

// Exchanges the key and runs a job's first encrypted requests: they only succeed when both
// sides hold the same session key.
void expectKeyAgreed(TPopupProtocol &p, int port) {
    pointAt(p, port);
    p.Connect();
    p.NegotiateSessionKey();
    p.BC_InitNewJob(QStringLiteral("ws"), QStringLiteral("srv"), QStringLiteral("Plain"),
                    QStringLiteral("bob"), QStringLiteral("d"));
    EXPECT_EQ(p.TransactionNumber, 12);
    p.LoadDescriptors();
    EXPECT_EQ(p.Descriptors.size(), 1);
}

template <typename F> QString errorOf(F f) {
    try {
        f();
    } catch (const zv::ZvError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

QString connectionInfo(int port) {
    return QStringLiteral("Address: 127.0.0.1\r\nPort: %1").arg(port);
}

int countLines(const QString &path, const QByteArray &needle) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(file.readAll().count(needle));
}

} // namespace

TEST(PopupSession, FullJobAgainstServer) {
    zvtest::Sandbox sandbox;
    const QString log = sandbox.path(QStringLiteral("server.log"));
    PopupServerProcess server({}, demoScenario(), log);
    ASSERT_GT(server.port(), 0);

    TPopupProtocol p;
    pointAt(p, server.port());
    p.Connect();
    EXPECT_EQ(p.LocalAddress(), QStringLiteral("127.0.0.1"));
    p.NegotiateSessionKey();
    EXPECT_TRUE(p.EncryptionOn);
    EXPECT_FALSE(p.EncryptedSessionKey.isEmpty());

    p.BC_InitNewJob(QStringLiteral("ws1"), QStringLiteral("srv"), QStringLiteral("finance"),
                    QStringLiteral("alice"), QStringLiteral("report.pdf"));
    EXPECT_EQ(p.TransactionNumber, 4711);
    EXPECT_TRUE(p.AllowLastAnswers);
    EXPECT_EQ(p.QuestionGroupName, QStringLiteral("Finance questions"));
    EXPECT_EQ(p.ServerVersion, 1005);

    p.LoadDescriptors();
    ASSERT_EQ(p.Descriptors.size(), 12);
    EXPECT_EQ(p.Descriptors[0].FormType, QStringLiteral("costcenterform"));
    EXPECT_EQ(p.Descriptors[1].Category, QStringLiteral("Project"));
    EXPECT_DOUBLE_EQ(p.Descriptors[4].ValidateMax, 300.5);
    EXPECT_TRUE(p.Descriptors[7].Secure);
    EXPECT_TRUE(p.Descriptors[7].ConfirmAnswer);
    EXPECT_EQ(p.Descriptors[8].Choices, QStringList({"<none>", "Plain", "Recycled", "Glossy"}));
    EXPECT_EQ(p.Descriptors[9].SqlStatement, QStringLiteral("Printers"));
    EXPECT_EQ(p.Descriptors[11].FormType, QStringLiteral("guestcardform"));

    // Rows come two per chunk; five rows need three GETSQLDATA answers and the end marker.
    p.BC_GetSQLList(QStringLiteral("Printers"), QStringLiteral("Building A"), QString(),
                    QStringLiteral("alice\rx"));
    EXPECT_EQ(p.SqlData(), QStringList({"Printer 1", "Printer 2", "Printer 3", "alice", "x"}));
    EXPECT_GE(p.SqlTransactionNumber, 500);

    TCostCenterList codes = p.BC_FindUserCodes(QStringLiteral("alice"), QStringLiteral("Project"),
                                               QStringLiteral("P2%"), QStringLiteral("D200"), 100);
    EXPECT_EQ(CostCenterCodes(codes), QStringList({"P210", "P220"}));
    EXPECT_EQ(CostCenterDescriptions(codes), QStringList({"Compiler", "Test lab"}));
    codes = p.BC_FindUserCodes(QStringLiteral("alice"), QStringLiteral("Dept"), QStringLiteral("%"),
                               QString(), 1);
    EXPECT_EQ(CostCenterCodes(codes), QStringList({"D100"}));
    codes =
        p.BC_ListRecentUserCodes(QStringLiteral("alice"), QStringLiteral("Dept"), QString(), 25);
    EXPECT_EQ(CostCenterCodes(codes), QStringList({"D200", "D100"}));
    EXPECT_EQ(CostCenterDescriptions(codes), QStringList({"Engineering", "Sales"}));

    p.BC_ListLastAnswers(QStringLiteral("alice"), QStringLiteral("Dept"), 25);
    ASSERT_EQ(p.History.size(), 2);
    EXPECT_EQ(p.CountCategories, 2);
    EXPECT_EQ(p.History[0][1].Code, QStringLiteral("P210"));
    EXPECT_EQ(p.History[1][0].Description, QStringLiteral("Sales"));
    // The history is kept until cleared: the second call sends nothing.
    p.BC_ListLastAnswers(QStringLiteral("alice"), QStringLiteral("Dept"), 25);
    p.ClearHistory();
    EXPECT_TRUE(p.History.isEmpty());

    QString answers = QStringLiteral("D200,P210");
    p.BC_VerifyLastAnswers(QStringLiteral("ws1"), QStringLiteral("srv"), QStringLiteral("finance"),
                           QStringLiteral("srv,finance"), QStringLiteral("alice"),
                           QStringLiteral("report.pdf"), QStringLiteral("Department,Project"),
                           answers);
    EXPECT_TRUE(p.LastAnswersValid);
    EXPECT_TRUE(answers.isEmpty());
    answers = QStringLiteral("D100,P110");
    p.BC_VerifyLastAnswers(QStringLiteral("ws1"), QStringLiteral("srv"), QStringLiteral("finance"),
                           QStringLiteral("srv,finance"), QStringLiteral("alice"),
                           QStringLiteral("report.pdf"), QStringLiteral("Department,Project"),
                           answers);
    EXPECT_FALSE(p.LastAnswersValid);

    // An unknown queue is the server's NOQUEUE.
    EXPECT_EQ(errorOf([&] {
                  p.BC_InitNewJob(QStringLiteral("ws1"), QStringLiteral("srv"),
                                  QStringLiteral("nowhere"), QStringLiteral("alice"),
                                  QStringLiteral("d"));
              }),
              QStringLiteral("Print Queue not found"));
    EXPECT_TRUE(p.Descriptors.isEmpty());
    EXPECT_EQ(countLines(log, "received LISTLASTANSWERS"), 1);
}

// Keys whose first byte is 0x00 or 0x01 travel with an extra 0x01 byte on top; the server
// must still recover them, or the first encrypted exchange fails.
TEST(PopupSession, KeyExchangeForEveryLeadingByte) {
    PopupServerProcess server;
    ASSERT_GT(server.port(), 0);
    for (int first : {0x00, 0x01, 0x02, 0xFF}) {
        SCOPED_TRACE(first);
        TPopupProtocol p;
        p.SessionKey[0] = static_cast<std::uint8_t>(first);
        expectKeyAgreed(p, server.port());
    }
}

// A server that writes its numbers without leading zero digits (65537 as 10001, 3 as 3).
TEST(PopupSession, KeyExchangeWithOddHexDigitCounts) {
    for (const char *exponent : {"65537", "3"}) {
        SCOPED_TRACE(exponent);
        PopupServerProcess server({QStringLiteral("--hex-digits"), QStringLiteral("bare"),
                                   QStringLiteral("--exponent"), QLatin1String(exponent)});
        ASSERT_GT(server.port(), 0);
        TPopupProtocol p;
        expectKeyAgreed(p, server.port());
    }
}

TEST(PopupSession, OversizedServerKeyOverflows) {
    PopupServerProcess server({QStringLiteral("--key-bits"), QStringLiteral("2048")});
    ASSERT_GT(server.port(), 0);
    TPopupProtocol p;
    pointAt(p, server.port());
    p.Connect();
    EXPECT_EQ(errorOf([&] { p.NegotiateSessionKey(); }),
              QStringLiteral("TZvWideWord.Multiply: overflow"));
}

TEST(PopupSession, FaultsGiveTheirErrors) {
    const struct {
        const char *name;
        QStringList args;
        int timeOut;
        QString expected; // %1 = connection info
    } cases[] = {
        {"silent",
         {"--fault", "silent"},
         1,
         "Connection timed out. No response\r\nFailed to connect to the popup server: \r\n%1"},
        {"ten header bytes",
         {"--fault", "header:10"},
         1,
         "Connection timed out. Header Data is incomplete\r\n%1"},
        {"slow drip",
         {"--fault", "drip:1500"},
         1,
         "Connection timed out. Header Data is incomplete\r\n%1"},
        {"close mid body",
         {"--fault", "close-mid-body"},
         2,
         "Connection timed out. Data is incomplete"},
        {"wrong length",
         {"--fault", "wrong-length"},
         1,
         "Connection timed out. Data is incomplete"},
        {"lower-case identifier", {"--fault", "lowercase-id"}, 2, "False Identifier in header"},
        {"foreign identifier",
         {"--fault", "bad-id", "--fault-verb", "INITNEWJOB"},
         2,
         "Received Header is incomplete"},
        {"garbage after key exchange",
         {"--fault", "garbage", "--fault-verb", "INITNEWJOB"},
         2,
         "Received Header is incomplete"},
        {"silent after key exchange",
         {"--fault", "silent", "--fault-verb", "INITNEWJOB"},
         1,
         "Connection timed out. No response\r\nFailed to connect to the popup server: \r\n%1"},
        {"close mid encrypted body",
         {"--fault", "close-mid-body", "--fault-verb", "GETNEXTDESCRIPTOR"},
         2,
         "Connection timed out. Data is incomplete"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PopupServerProcess server(c.args);
        ASSERT_GT(server.port(), 0);
        TPopupProtocol p;
        pointAt(p, server.port(), c.timeOut);
        p.Connect();
        const QString error = errorOf([&] {
            p.NegotiateSessionKey();
            p.BC_InitNewJob(QStringLiteral("ws"), QStringLiteral("srv"), QStringLiteral("Plain"),
                            QStringLiteral("bob"), QStringLiteral("d"));
            p.LoadDescriptors();
        });
        EXPECT_EQ(error, c.expected.contains(QLatin1String("%1"))
                             ? c.expected.arg(connectionInfo(server.port()))
                             : c.expected);
    }
}

// A drip well inside the time limit still assembles every message from one-byte reads.
TEST(PopupSession, SlowDripWithinTimeLimitSucceeds) {
    PopupServerProcess server({QStringLiteral("--fault"), QStringLiteral("drip:1"),
                               QStringLiteral("--fault-verb"),
                               QStringLiteral("GETNEXTDESCRIPTOR")});
    ASSERT_GT(server.port(), 0);
    TPopupProtocol p;
    pointAt(p, server.port());
    p.Connect();
    p.NegotiateSessionKey();
    p.BC_InitNewJob(QStringLiteral("ws"), QStringLiteral("srv"), QStringLiteral("Finance"),
                    QStringLiteral("bob"), QStringLiteral("d"));
    p.LoadDescriptors();
    EXPECT_EQ(p.Descriptors.size(), 12);
}

// A look-up that timed out is answered while the user goes on; that answer must not be taken
// for the answer to the next request on the same connection.
TEST(PopupSession, AnswerAfterTheTimeLimitIsNotTakenForTheNext) {
    PopupServerProcess server({QStringLiteral("--fault"), QStringLiteral("late:1400"),
                               QStringLiteral("--fault-verb"), QStringLiteral("FINDUSERCODES")});
    ASSERT_GT(server.port(), 0);
    TPopupProtocol p;
    pointAt(p, server.port(), 1);
    p.Connect();
    p.NegotiateSessionKey();
    EXPECT_EQ(errorOf([&] {
                  p.BC_FindUserCodes(QStringLiteral("alice"), QStringLiteral("Dept"),
                                     QStringLiteral("%"), QString(), 10);
              }),
              QStringLiteral("Connection timed out. No response\r\nFailed to connect to the popup "
                             "server: \r\n") +
                  connectionInfo(server.port()));
    QThread::msleep(1000); // the late answer arrives meanwhile
    const TCostCenterList codes =
        p.BC_ListRecentUserCodes(QStringLiteral("alice"), QStringLiteral("Dept"), QString(), 25);
    EXPECT_EQ(CostCenterCodes(codes), QStringList({"D200", "D100"}));
}

TEST(ProtocolSocket, ConnectFailuresAndAddressFallback) {
    PopupServerProcess server;
    ASSERT_GT(server.port(), 0);

    // The host (nothing listens on 127.0.0.2) fails; the remaining attempt uses the address.
    TPopupProtocol p;
    p.Host = QStringLiteral("127.0.0.2");
    p.Address = QStringLiteral("127.0.0.1");
    p.Port = server.port();
    p.TimeOut = 2;
    p.ConnectRetries = 2;
    p.Connect();
    EXPECT_EQ(p.Host, QStringLiteral("127.0.0.1"));
    p.NegotiateSessionKey();

    const int closedPort = [] {
        PopupServerProcess gone;
        return gone.port();
    }();
    const struct {
        const char *name;
        const char *host;
        const char *address;
        int retries;
        QString expected;
    } cases[] = {
        {"host and address", "127.0.0.2", "127.0.0.1", 2,
         QStringLiteral("Failed to connect to host 127.0.0.2 or address 127.0.0.1 on port %1")},
        {"host only", "127.0.0.1", "", 3,
         QStringLiteral("Failed to connect to host 127.0.0.1 on port %1")},
        {"address only", "", "127.0.0.1", 1,
         QStringLiteral("Failed to connect to address 127.0.0.1 on port %1")},
        {"no attempts", "", "127.0.0.1", 0,
         QStringLiteral("Failed to connect to address 127.0.0.1 on port %1")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TProtocolSocket s;
        s.Host = QString::fromLatin1(c.host);
        s.Address = QString::fromLatin1(c.address);
        s.Port = closedPort;
        s.TimeOut = 1;
        s.ConnectRetries = c.retries;
        EXPECT_EQ(errorOf([&] { s.Connect(); }), c.expected.arg(closedPort));
    }
}

TEST(ProtocolSocket, ConnectionInfoAndRawExchanges) {
    const struct {
        const char *host;
        const char *address;
        int port;
        const char *service;
        const char *info;
    } infos[] = {
        {"printhost", "", 28203, "", "Host: printhost\r\nPort: 28203"},
        {"", "10.1.2.3", 0, "popup", "Address: 10.1.2.3\r\nService: popup"},
        {"h", "10.1.2.3", 1, "", "Host: h\r\nAddress: 10.1.2.3\r\nPort: 1"},
        {"", "", 0, "", ""},
    };
    for (const auto &i : infos) {
        TProtocolSocket s;
        s.Host = QString::fromLatin1(i.host);
        s.Address = QString::fromLatin1(i.address);
        s.Port = i.port;
        s.Service = QString::fromLatin1(i.service);
        EXPECT_EQ(s.ConnectionInfo(), QString::fromLatin1(i.info));
    }

    PopupServerProcess server;
    ASSERT_GT(server.port(), 0);
    const QByteArray request = popup::MakePacket(
        popup::HeaderPrefix(1005), popup::RequestText(QStringLiteral("GETPUBLICKEY"), {}), nullptr);

    TProtocolSocket noDecoder;
    pointAt(noDecoder, server.port());
    noDecoder.HeaderSize = 19;
    noDecoder.Connect();
    EXPECT_EQ(errorOf([&] { noDecoder.SendReceive(request); }),
              QStringLiteral("Error. OnProcessHeader event must be handled"));

    // The server drops a connection that does not speak its protocol.
    TPopupProtocol p;
    pointAt(p, server.port());
    p.Connect();
    EXPECT_EQ(errorOf([&] { p.SendReceive(QByteArray("HELLO THERE, SERVER, ARE YOU OK?")); }),
              QStringLiteral("Connection failed, the Popup server is unavailable at this time.") +
                  CrLf + connectionInfo(server.port()));
    EXPECT_FALSE(p.Connected());
}

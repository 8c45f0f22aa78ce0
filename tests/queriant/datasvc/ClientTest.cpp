// SPDX-License-Identifier: MIT
// The database client against the real zvdbserver, plain and encrypted, and through every
// fault the server can inject.
#include "BaseDBClient.h"
#include "CaptureLog.h"
#include "PopupServerProcess.h"
#include "TestSupport.h"
#include "WireBytes.h"

#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString DataFile = QStringLiteral(ZV_BIN_DIR "/zvdbserver-demo.json");

class DbServerRun {
public:
    explicit DbServerRun(const QStringList &options, const QString &logPath = QString())
        : m_process(QStringLiteral(ZV_BIN_DIR "/zvdbserver"),
                    QStringList{QStringLiteral("--data"), DataFile, QStringLiteral("--key-bits"),
                                QStringLiteral("512")} +
                        (logPath.isEmpty() ? QStringList()
                                           : QStringList{QStringLiteral("--log"), logPath}) +
                        options) {}
    int port() const { return m_process.port(); }

private:
    zvtest::PopupServerProcess m_process;
};

class DbClientTest : public ::testing::Test {
protected:
    void configure(const QString &host, const QString &port, const QByteArray &extra = {}) {
        m_sandbox.writeFile(QStringLiteral("machine.reg"),
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Zorvant\\Database Server]\r\n"
                            "\"Host Address\"=\"" +
                                host.toUtf8() + "\"\r\n\"Port Name\"=\"" + port.toUtf8() +
                                "\"\r\n" + extra);
    }
    void configure(int port, int timeOut = 10) {
        configure(QStringLiteral("localhost"), QString::number(port),
                  QByteArray("\"Timeout\"=dword:") +
                      QByteArray::number(timeOut, 16).rightJustified(8, '0') + "\r\n");
    }
    std::unique_ptr<TZvComDBClient> client() {
        return std::make_unique<TZvComDBClient>(
            QStringLiteral("POPUPTESTER"), QString::fromLatin1(TZvComDBClient::DefaultRegistryKey));
    }
    zvtest::Sandbox m_sandbox;
};

QStringList column(TZvComTable &table, const QString &name) {
    QStringList out;
    while (table.Next())
        out << table.FieldByName(name).AsText();
    return out;
}

TEST_F(DbClientTest, RegistryFailuresHaveTheirTexts) {
    struct Case {
        const char *name;
        QByteArray reg;
        const char *message;
    };
    const QByteArray head = "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Zorvant\\Database Server]\r\n";
    const Case cases[] = {
        {"no key", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n",
         "Database location not specified in Registry"},
        {"empty address", head + "\"Host Address\"=\"\"\r\n\"Port Name\"=\"1\"\r\n",
         "Database field not specified in Registry: Failed to get data for 'Address'"},
        {"no port", head + "\"Host Address\"=\"db\"\r\n",
         "Database field not specified in Registry: Failed to get data for 'Port'"},
        {"time-out as text",
         head + "\"Host Address\"=\"db\"\r\n\"Port Name\"=\"1\"\r\n\"Timeout\"=\"9\"\r\n",
         "Database field not specified in Registry: Invalid data type for 'Timeout'"},
    };
    for (const Case &c : cases) {
        m_sandbox.writeFile(QStringLiteral("machine.reg"), c.reg);
        try {
            client();
            ADD_FAILURE() << c.name;
        } catch (const EZvComException &e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.message)) << c.name;
        }
    }
}

TEST_F(DbClientTest, SettingsComeFromTheRegistryWithTheDefaultTimeOut) {
    configure(QStringLiteral("dbhost"), QStringLiteral("4711"));
    const auto c = client();
    EXPECT_EQ(c->ServerAddress(), QStringLiteral("dbhost"));
    EXPECT_EQ(c->Port(), QStringLiteral("4711"));
    EXPECT_EQ(c->TimeOut(), 120);
    EXPECT_EQ(c->ServiceName(), QStringLiteral("ZvDatabaseSvr"));
    EXPECT_EQ(c->ServerName(), QStringLiteral("Database Server"));
}

TEST(ZvComClient, ChallengeAnswerIsTheNonNegativeRemainder) {
    const struct {
        qint32 challenge;
        qint32 answer;
    } cases[] = {{0, 432283422},
                 {1, 250870060},
                 {-1, 613696784},
                 {2147483647, 163177890},
                 {-2147483647 - 1, 882802316}};
    for (const auto &c : cases)
        EXPECT_EQ(TZvComClient::ChallengeAnswer(c.challenge), c.answer) << c.challenge;
}

class DbClientRequests : public DbClientTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DbClientRequests, EveryRequestAgainstTheServer) {
    const bool encrypted = GetParam();
    const QString logPath = m_sandbox.path(QStringLiteral("server.log"));
    DbServerRun server(encrypted ? QStringList() : QStringList{QStringLiteral("--no-encryption")},
                       logPath);
    ASSERT_NE(server.port(), 0);
    configure(server.port());
    TClassData::instance().setCategories(0xFFFFFFFF);
    zvtest::CaptureLog log;
    {
        const auto c = client();
        auto popupServers = c->ServerList(1, QStringLiteral("ZvPopupSvr"));
        EXPECT_EQ(c->Encryption(), encrypted);
        EXPECT_EQ(column(*popupServers, QStringLiteral("server")),
                  QStringList({QStringLiteral("PRINTSRV1"), QStringLiteral("PRINTSRV2")}));
        EXPECT_EQ(
            column(*c->ServerList(2, QStringLiteral("ZvPopupSvr"), 2), QStringLiteral("server")),
            QStringList{QStringLiteral("PRINTSRV2")});
        EXPECT_EQ(c->ServerList(0)->RowCount(), 3u);

        auto type = c->ServiceTypeGet(QStringLiteral("ZvPopupSvr"));
        ASSERT_TRUE(type->Next());
        EXPECT_EQ(type->FieldByName(QStringLiteral("port")).AsText(), QStringLiteral("28203"));
        EXPECT_EQ(type->FieldByName(QStringLiteral("timeout")).AsText(), QStringLiteral("30"));

        EXPECT_EQ(c->SpoolqList(0)->RowCount(), 3u);
        EXPECT_EQ(column(*c->SpoolqList(1, QStringLiteral("PRINTSRV1")), QStringLiteral("spoolq")),
                  QStringList({QStringLiteral("Mono"), QStringLiteral("Colour")}));
        auto group = c->SpoolqQGroupList(QStringLiteral("Drawing Office"));
        ASSERT_TRUE(group->Next());
        EXPECT_EQ(group->FieldByName(QStringLiteral("server")).AsText(),
                  QStringLiteral("PRINTSRV2"));
        EXPECT_EQ(group->FieldByName(QStringLiteral("spoolq")).AsText(), QStringLiteral("Plotter"));
        EXPECT_EQ(c->SpoolqQGroupList(QStringLiteral("Nowhere"))->RowCount(), 0u);
    }
    const QString port = QString::number(server.port());
    EXPECT_TRUE(log.has(QStringLiteral("TZvComClient.DoConnect Servername=Database Server , "
                                       "Serveraddress=localhost , Serverport=") +
                        port));
    EXPECT_TRUE(log.has(QStringLiteral("TZvComClient.Disconnect Disconnect Servername=Database "
                                       "Server , Serveraddress=localhost , Serverport=") +
                        port));

    QFile serverLog(logPath);
    ASSERT_TRUE(serverLog.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(serverLog.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("client=POPUPTESTER accepted ") +
                              (encrypted ? QStringLiteral("encrypted") : QStringLiteral("plain"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("REQUEST ServerList id=")));
    EXPECT_TRUE(text.contains(QStringLiteral("REQUEST SpoolqQGroupList id=")));
}

INSTANTIATE_TEST_SUITE_P(Wire, DbClientRequests, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Encrypted" : "Plain"; });

struct FaultCase {
    const char *name;
    QStringList options;
    int timeOut;
    // Null: the request succeeds.
    const char *message;
};

void PrintTo(const FaultCase &c, std::ostream *os) {
    *os << c.name;
}

class DbClientFaults : public DbClientTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DbClientFaults, FaultReachesTheCallerWithItsText) {
    const FaultCase &c = GetParam();
    DbServerRun server(c.options);
    ASSERT_NE(server.port(), 0);
    configure(server.port(), c.timeOut);
    const auto db = client();
    try {
        auto rows = db->ServerList(1, QStringLiteral("ZvPopupSvr"));
        if (c.message)
            ADD_FAILURE() << "no exception";
        else
            EXPECT_EQ(rows->RowCount(), 2u);
    } catch (const EZvComException &e) {
        EXPECT_EQ(e.message(), QString::fromLatin1(c.message ? c.message : "(success)"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DbClientFaults,
    ::testing::Values(
        FaultCase{"ForeignIdFirst", {"--fault", "foreign-id"}, 10, nullptr},
        FaultCase{"VerbInOtherCase",
                  {"--fault", "verb-case"},
                  10,
                  "Incorrect verb name: sERVERlIST (expecting ServerList)"},
        FaultCase{"ErrorStatus",
                  {"--fault", "error:Table SERVERS is locked"},
                  10,
                  "Table SERVERS is locked"},
        FaultCase{"CloseMidResponse",
                  {"--fault", "close-mid"},
                  10,
                  "Communication Error - please try again: Server Closed Connection"},
        FaultCase{"LengthOverTheLimit",
                  {"--fault", "long-length"},
                  10,
                  "Communication Error - please try again: Received packet length too long"},
        FaultCase{"NoEncryptionOffer", {"--no-encryption"}, 10, nullptr},
        FaultCase{"SlowDrip", {"--fault", "drip:2"}, 10, nullptr},
        FaultCase{"DripSlowerThanTheTimeOut",
                  {"--fault", "drip:1500"},
                  1,
                  "Communication Error - please try again: Blocking call timed out(recv)"},
        FaultCase{"ErrorInsteadOfAuthentication",
                  {"--fault", "auth-error:Database is starting"},
                  10,
                  "Database is starting"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DbClientTest, RefusedConnectionIsReportedWithItsDescription) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();
    configure(port);
    try {
        client()->ServerList(0);
        ADD_FAILURE();
    } catch (const EZvComException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Connection refused"));
    }
}

TEST_F(DbClientTest, RequestAfterAnAsynchronousConnectRunsBlocking) {
    DbServerRun server({});
    ASSERT_NE(server.port(), 0);
    configure(server.port());
    const auto c = client();
    c->Connect(true);
    EXPECT_TRUE(c->AsyncMode());
    EXPECT_EQ(c->SpoolqList(0)->RowCount(), 3u);
    EXPECT_FALSE(c->AsyncMode());
    EXPECT_TRUE(c->Connected());
}

TEST_F(DbClientTest, RequestAfterACommunicationErrorUsesANewConnection) {
    DbServerRun server({QStringLiteral("--fault"), QStringLiteral("long-length"),
                        QStringLiteral("--fault-verb"), QStringLiteral("ServerList")});
    ASSERT_NE(server.port(), 0);
    configure(server.port());
    const auto c = client();
    EXPECT_THROW(c->ServerList(0), EZvComSocketException);
    EXPECT_FALSE(c->Connected());
    EXPECT_EQ(c->SpoolqList(0)->RowCount(), 3u);
}

TEST_F(DbClientTest, RequestErrorHookRetriesOnceThenGivesUp) {
    DbServerRun server({QStringLiteral("--fault"), QStringLiteral("close-mid")});
    ASSERT_NE(server.port(), 0);
    configure(server.port());
    const auto c = client();
    int calls = 0;
    c->SetOnRequestError(
        [&](TZvComClient &, const std::exception &) { return ++calls == 1 ? eaRetry : eaGiveUp; });
    EXPECT_EQ(c->ServerList(0), nullptr);
    EXPECT_EQ(calls, 2);
}

// A plain peer that writes packets ahead of their turn: the authentication packet together with
// the answer to the CONNECT still to come, and a discarded answer together with the right one.
// Packets that arrive in one receive must each be read whole and in order.
class EagerPeer {
public:
    EagerPeer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), size) == 0 &&
            ::listen(m_listen, 1) == 0 &&
            ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~EagerPeer() {
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }
    int port() const { return m_port; }

private:
    static bool readPacket(int fd, QByteArray &bytes) {
        bytes = QByteArray(13, '\0');
        if (::recv(fd, bytes.data(), 13, MSG_WAITALL) != 13)
            return false;
        const auto length =
            static_cast<std::uint8_t>(bytes[5]) | static_cast<std::uint8_t>(bytes[6]) << 8;
        bytes.resize(length);
        return ::recv(fd, bytes.data() + 13, length - 13, MSG_WAITALL) == length - 13;
    }
    void serve() {
        using namespace wire;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        const QByteArray greeting = packet(str("AUTHENTICATE") + fixed(0x05, 4711), 1) +
                                    packet(str("CONNECT") + status('S'), 2);
        QByteArray request;
        if (::send(fd, greeting.constData(), greeting.size(), 0) == greeting.size() &&
            readPacket(fd, request) && readPacket(fd, request)) {
            const std::uint32_t id =
                static_cast<std::uint8_t>(request[9]) |
                static_cast<std::uint8_t>(request[10]) << 8 |
                static_cast<std::uint8_t>(request[11]) << 16 |
                static_cast<std::uint32_t>(static_cast<std::uint8_t>(request[12])) << 24;
            const auto answer = [](const QByteArray &server) {
                return str("ServerList") + status('S') + fixed(0x0D, 1) + fixed(0x06, 1) +
                       str("server") + str(server);
            };
            const QByteArray answers =
                packet(answer("stale"), id + 1000) + packet(answer("fresh"), id);
            ::send(fd, answers.constData(), answers.size(), 0);
            char rest;
            ::recv(fd, &rest, 1, 0);
        }
        ::close(fd);
    }

    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
};

TEST(DbClientStream, PacketsArrivingTogetherAreEachReadInTurn) {
    EagerPeer peer;
    ASSERT_NE(peer.port(), 0);
    TZvComClient client(QStringLiteral("TEST"), 5, QString::number(peer.port()),
                        QStringLiteral("ZvDatabaseSvr"), QStringLiteral("Database Server"),
                        QStringLiteral("127.0.0.1"));
    auto request = std::make_unique<TZvComEncodePacket>(QStringLiteral("ServerList"));
    request->AddCardinal(0);
    const auto table = client.Query(std::move(request));
    ASSERT_TRUE(table);
    EXPECT_FALSE(client.Encryption());
    ASSERT_TRUE(table->Next());
    EXPECT_EQ(table->FieldByName(QStringLiteral("server")).AsText(), QStringLiteral("fresh"));
    client.Disconnect();
}

} // namespace

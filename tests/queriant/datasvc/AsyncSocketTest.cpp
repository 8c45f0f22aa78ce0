// SPDX-License-Identifier: MIT
// The packet socket in asynchronous mode against a peer on loopback: packets collected from
// read notifications, resynchronisation on the magic, the length limit, queued sends, close.
#include "DataSock.h"
#include "Handler.h"
#include "TestSupport.h"
#include "WireBytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <netdb.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace {

class Collector : public TDataSocket {
public:
    Collector() {
        SetOnAsyncError([this](const zv::ZvError &e) { errors << e.message(); });
    }
    void Dispatch(TZvComDecodePacket &packet) override { verbs << packet.Verb(); }
    QStringList verbs;
    QStringList errors;
};

template <typename Done> bool spinUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class AsyncSocket : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost));
        m_socket.Socket().SetPort(QString::number(m_server.serverPort()));
        m_socket.Socket().SetIPAddr(QStringLiteral("127.0.0.1"));
        m_socket.Socket().SetAsynchronous(true);
        m_socket.Socket().SConnect();
        ASSERT_TRUE(m_server.waitForNewConnection(5000));
        m_peer = m_server.nextPendingConnection();
    }
    void send(const QByteArray &bytes) {
        m_peer->write(bytes);
        m_peer->flush();
    }
    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    Collector m_socket;
};

TEST_F(AsyncSocket, PacketsAfterNoiseAndAcrossWritesAreDispatchedInOrder) {
    const QByteArray first = wire::packet(wire::str("First"));
    const QByteArray second = wire::packet(wire::str("Second") + wire::fixed(0x06, 5));
    send("xxZVCzzZZZVC0123456789");
    send(first.left(6));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    send(first.mid(6) + "Z" + second);
    ASSERT_TRUE(spinUntil([&] { return m_socket.verbs.size() == 2; }))
        << m_socket.errors.join(',').toStdString();
    EXPECT_EQ(m_socket.verbs, QStringList({QStringLiteral("First"), QStringLiteral("Second")}));
    EXPECT_TRUE(m_socket.errors.isEmpty());
}

TEST_F(AsyncSocket, LengthsOutsideTheLimitsAndCloseAreReported) {
    send(QByteArray("ZVCOM") + wire::word(13) + wire::word(1));
    ASSERT_TRUE(spinUntil([&] { return !m_socket.errors.isEmpty(); }));
    EXPECT_EQ(m_socket.errors.first(),
              QStringLiteral("Received packet length less than header length"));
    send(QByteArray("ZVCOM") + wire::word(0x500000) + wire::word(1));
    ASSERT_TRUE(spinUntil([&] { return m_socket.errors.size() == 2; }));
    EXPECT_EQ(m_socket.errors.last(), QStringLiteral("Received packet length too long"));
    m_peer->close();
    ASSERT_TRUE(spinUntil([&] { return m_socket.errors.size() == 3; }));
    EXPECT_EQ(m_socket.errors.last(), QStringLiteral("Server Closed Connection"));
}

TEST_F(AsyncSocket, QueuedPacketsReachThePeerWhole) {
    TZvComEncodePacket a(QStringLiteral("A"));
    a.AddBinary(QByteArray(300000, 'a'));
    TZvComEncodePacket b(QStringLiteral("B"));
    m_socket.SendPacket(a);
    m_socket.SendPacket(b);
    const qsizetype total = 13 + 7 + 5 + 300000 + 13 + 7;
    QByteArray got;
    ASSERT_TRUE(spinUntil([&] {
        got += m_peer->readAll();
        return got.size() >= total;
    }));
    EXPECT_EQ(got.size(), total);
    EXPECT_EQ(got.right(20), b.Build(false, {}));
}

TEST_F(AsyncSocket, BlockingReaderRefusesLengthsOutsideTheLimits) {
    m_socket.Socket().SetAsynchronous(false);
    m_socket.Socket().SetTimeOut(5);
    const struct {
        std::uint32_t length;
        const char *message;
    } cases[] = {{13, "Received packet length less than header length"},
                 {0, "Received packet length less than header length"},
                 {0x500000, "Received packet length too long"}};
    for (const auto &c : cases) {
        send(QByteArray("ZVCOM") + wire::word(c.length) + wire::word(1));
        m_peer->waitForBytesWritten(1000);
        try {
            m_socket.ReadPacket();
            ADD_FAILURE() << c.length;
        } catch (const EZvComException &e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.message)) << c.length;
        }
    }
    send(wire::packet(wire::str("Fine")));
    m_peer->waitForBytesWritten(1000);
    EXPECT_EQ(m_socket.ReadPacket()->Verb(), QStringLiteral("Fine"));
}

TEST(TClientHandlers, VerbsCompareExactly) {
    TClientHandlers handlers;
    int called = 0;
    handlers.Add(QStringLiteral("Notify"), [&](TZvComDecodePacket &) { ++called; });
    EXPECT_NE(handlers.Find(QStringLiteral("Notify")), nullptr);
    EXPECT_EQ(handlers.Find(QStringLiteral("notify")), nullptr);
    EXPECT_TRUE(handlers.Remove(QStringLiteral("Notify")));
    EXPECT_EQ(handlers.Find(QStringLiteral("Notify")), nullptr);
}

TEST(TSockets, ErrorPathTextAndCodeTable) {
    TSockets s;
    try {
        s.SocketError(QStringLiteral("SConnect"), 10061);
        ADD_FAILURE();
    } catch (const ESocket &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Error 10061 in function SConnect\r\nConnection refused"));
    }
    EXPECT_EQ(TSockets::ErrorDescription(10058),
              QStringLiteral("Can't send after socket shutdown"));
    EXPECT_EQ(TSockets::ErrorDescription(11004), QStringLiteral("No Data"));
    EXPECT_EQ(TSockets::ErrorDescription(4), QStringLiteral("Not a winsock error"));
    const struct {
        int error, code;
    } mapped[] = {{ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},    {ECONNRESET, 10054},
                  {EPIPE, 10058},        {ESHUTDOWN, 10058},    {ENETDOWN, 10050},
                  {ENETUNREACH, 10051},  {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048},
                  {EINTR, 10004},        {EWOULDBLOCK, 10035},  {EINPROGRESS, 10036}};
    for (const auto &m : mapped)
        EXPECT_EQ(TSockets::CodeFromErrno(m.error), m.code) << m.error;
    EXPECT_EQ(TSockets::CodeFromResolver(EAI_NONAME), 11001);

    s.SetPort(QString());
    try {
        s.SConnect();
        ADD_FAILURE();
    } catch (const ESocket &e) {
        EXPECT_EQ(e.message(), QStringLiteral("No Port Specified"));
    }
    s.SetPort(QStringLiteral("1"));
    try {
        s.SConnect();
        ADD_FAILURE();
    } catch (const ESocket &e) {
        EXPECT_EQ(e.message(), QStringLiteral("No IP Address Specified"));
    }
    try {
        s.GetIPAddress(QString(255, QLatin1Char('h')));
        ADD_FAILURE();
    } catch (const ESocket &e) {
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("TVeskarClient.GetIPAddress HostName: hhh")));
    }
}

} // namespace

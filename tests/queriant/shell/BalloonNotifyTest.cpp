// SPDX-License-Identifier: MIT
// The desktop's balloon notifier against a notification server of the test's own on a private
// bus: what it sends, which signals it takes as its own, how each way of ending is reported,
// and what it does with no server or no bus at all. The end-to-end tests run the real server.
#include "BalloonNotify.h"
#include "CaptureLog.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "TrayIconHandler.h"
#include "WaitingNotice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include <optional>

namespace {

// Just enough of org.freedesktop.Notifications to see what a client sends and to act as the
// user on it.
class TestNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Sent {
        QString app, icon, summary, body;
        QStringList actions;
        int timeout = 0;
    };
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    std::vector<Sent> sent;
    QList<uint> closed;
    // Holds the answer to Notify until answerNotify.
    bool slow = false;
    QDBusMessage held;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &, int timeout) {
        sent.push_back({app, icon, summary, body, actions, timeout});
        const uint id = uint(100 + sent.size());
        if (slow) {
            setDelayedReply(true);
            held = message().createReply(id);
        }
        return id;
    }
    void CloseNotification(uint id) {
        closed << id;
        emit NotificationClosed(id, 3);
    }

signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString &action);
    void ActivationToken(uint id, const QString &token);
};

// A session bus that starts no services, so that nothing installed answers in the test's place.
QString busConfig(const zvtest::Sandbox &box) {
    return box.writeFile(
        QStringLiteral("bus.conf"),
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration "
            "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
            "busconfig.dtd\">\n<busconfig><type>session</type>"
            "<listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/>"
            "<allow own=\"*\"/></policy></busconfig>\n")
            .toUtf8());
}

class BalloonNotifyTest : public ::testing::Test {
protected:
    BalloonNotifyTest() {
        serverBus->registerObject(QLatin1String(TDesktopNotification::Path), &server,
                                  QDBusConnection::ExportAllSlots |
                                      QDBusConnection::ExportAllSignals);
        serverBus->registerService(QLatin1String(TDesktopNotification::Service));
    }
    // A connection is closed once nothing refers to it any more.
    ~BalloonNotifyTest() override {
        serverBus.reset();
        clientBus.reset();
        bus.disconnect(QStringLiteral("server"));
        bus.disconnect(QStringLiteral("client"));
    }

    // A notifier whose ends are counted; shows a balloon and waits for the server to have it.
    std::unique_ptr<TBalloonNotify> shown(quint8 seconds = 30) {
        auto balloon = std::make_unique<TBalloonNotify>(*clientBus);
        balloon->OnClick = [this](TBalloonNotifier &) { ++clicks; };
        balloon->OnBalloonTimeout = [this](TBalloonNotifier &) { ++timeouts; };
        balloon->Show();
        balloon->ShowBalloon(QStringLiteral("Title"), QStringLiteral("Text"), seconds,
                             biInformation);
        const size_t before = server.sent.size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return balloon->Notification().Id() != 0; }, 5000));
        EXPECT_EQ(server.sent.size(), before + 1);
        return balloon;
    }
    void settle() { QTest::qWait(100); }

    zvtest::Sandbox box;
    zvtest::PrivateBus bus{QProcessEnvironment::systemEnvironment(), busConfig(box)};
    std::optional<QDBusConnection> serverBus = bus.connect(QStringLiteral("server"));
    std::optional<QDBusConnection> clientBus = bus.connect(QStringLiteral("client"));
    TestNotificationServer server;
    int clicks = 0;
    int timeouts = 0;
};

TEST(BalloonContent, CutsTextNamesTheIconAndTakesTheSeconds) {
    const QString longTitle(80, u't');
    const QString longText(300, u'x');
    const TDesktopNotification::TContent cut = BalloonContent(longTitle, longText, 5, biWarning);
    EXPECT_EQ(cut.Summary, longTitle.left(63));
    EXPECT_EQ(cut.Body, longText.left(255));
    EXPECT_FALSE(cut.DefaultAction.isEmpty()) << "a click on the balloon is its default action";

    const struct {
        int dialogTimeout;
        int kind;
        int timeoutMs;
        const char *icon;
    } cases[] = {
        {300, biInformation, 44000, "dialog-information"}, // only the low 8 bits count
        {-1, biWarning, 255000, "dialog-warning"},
        {2, biError, 2000, "dialog-error"},
        {0, biNone, 10000, ""}, // no time at all: the customary 10 seconds
        {256, biUser, 10000, "queriant"},
        {7, 9, 7000, ""},
    };
    for (const auto &c : cases) {
        const auto content =
            BalloonContent(QStringLiteral("T"), QStringLiteral("B"), quint8(c.dialogTimeout & 0xFF),
                           c.kind, QStringLiteral("queriant"));
        EXPECT_EQ(content.TimeoutMs, c.timeoutMs) << c.dialogTimeout;
        EXPECT_EQ(content.IconName, QLatin1String(c.icon)) << c.kind;
    }
}

TEST_F(BalloonNotifyTest, SendsTheBalloonAndEndsItByItsOwnTimer) {
    auto balloon = shown(1);
    const TestNotificationServer::Sent &sent = server.sent.back();
    EXPECT_EQ(sent.summary, "Title");
    EXPECT_EQ(sent.body, "Text");
    EXPECT_EQ(sent.icon, "dialog-information");
    EXPECT_EQ(sent.timeout, 1000);
    EXPECT_EQ(sent.actions.value(0), "default");
    EXPECT_GT(balloon->Notification().RemainingTime(), 0);

    // The server never expires it: our timer does, and takes it off the screen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeouts == 1; }, 5000));
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closed.contains(101); }, 5000));
    settle();
    EXPECT_EQ(timeouts, 1) << "our own close is not a second ending";
}

TEST_F(BalloonNotifyTest, ClickIsTheDefaultActionOfOurOwnNotification) {
    auto balloon = shown();
    const uint id = balloon->Notification().Id();
    QSignalSpy token(&balloon->Notification(), &TDesktopNotification::ActivationToken);
    // Whatever another program's notification does is not ours.
    emit server.ActionInvoked(id + 7, QStringLiteral("default"));
    emit server.NotificationClosed(id + 7, 2);
    emit server.ActivationToken(id + 7, QStringLiteral("other"));
    settle();
    EXPECT_EQ(clicks + timeouts, 0);
    EXPECT_EQ(token.size(), 0);

    // The owner frees the notifier from inside its click, as the question manager does.
    balloon->OnClick = [&](TBalloonNotifier &) {
        ++clicks;
        balloon.reset();
    };
    emit server.ActivationToken(id, QStringLiteral("token-1"));
    emit server.ActionInvoked(id, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 5000));
    ASSERT_EQ(token.size(), 1);
    EXPECT_EQ(token.at(0).at(0).toString(), "token-1");
    EXPECT_FALSE(balloon);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closed.contains(id); }, 5000))
        << "a server that keeps it after the action is told to close it";
    settle();
    EXPECT_EQ(timeouts, 0);
}

TEST_F(BalloonNotifyTest, ClosingIsAClickOnlyWhereTheServerHasNoActions) {
    const struct {
        bool actions;
        uint reason;
        int clicks;
        int timeouts;
    } cases[] = {
        {true, 2, 0, 1},  // dismissed: the user saw it and let it go
        {false, 2, 1, 0}, // without actions, closing is the only click there is
        {true, 1, 0, 1},  // the server's own expiry
        {false, 1, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "actions " << c.actions << " reason " << c.reason);
        server.capabilities = c.actions ? QStringList{"actions"} : QStringList{"body"};
        clicks = timeouts = 0;
        auto balloon = shown();
        emit server.NotificationClosed(balloon->Notification().Id(), c.reason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return clicks + timeouts == 1; }, 5000));
        EXPECT_EQ(clicks, c.clicks);
        EXPECT_EQ(timeouts, c.timeouts);
    }
}

TEST_F(BalloonNotifyTest, ReplacedAndHiddenBalloonsEndNothing) {
    auto balloon = shown();
    const uint first = balloon->Notification().Id();
    balloon->ShowBalloon(QStringLiteral("Again"), QStringLiteral("New"), 30, biNone);
    ASSERT_TRUE(QTest::qWaitFor([&] { return balloon->Notification().Id() == first + 1; }, 5000));
    EXPECT_TRUE(server.closed.contains(first)) << "the balloon before it is taken away";
    emit server.ActionInvoked(first, QStringLiteral("default"));
    balloon->HideBalloon();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closed.contains(first + 1); }, 5000));
    settle();
    EXPECT_EQ(clicks + timeouts, 0);
}

// Our time runs out before the server has answered: what it then shows is taken away, also
// for a notification used on its own.
TEST_F(BalloonNotifyTest, ANotificationAnsweredAfterItsTimeIsClosed) {
    server.slow = true;
    TDesktopNotification notification(*clientBus);
    QSignalSpy timedOut(&notification, &TDesktopNotification::TimedOut);
    TDesktopNotification::TContent content;
    content.Summary = QStringLiteral("Job waiting");
    content.TimeoutMs = 500;
    notification.Show(content);
    ASSERT_TRUE(timedOut.wait(5000));
    ASSERT_EQ(server.sent.size(), 1u);
    EXPECT_TRUE(server.closed.isEmpty());
    QDBusConnection(QStringLiteral("server")).send(server.held);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closed.contains(101); }, 5000));
}

// No server on the bus, then no bus at all: nothing shows, the failure is logged once, and
// the balloon ends by its time as a time-out.
TEST_F(BalloonNotifyTest, WithoutServerOrBusTheDisplayTimeIsWaitedOut) {
    zvtest::CaptureLog log;
    serverBus->unregisterService(QLatin1String(TDesktopNotification::Service));
    for (const QDBusConnection &connection :
         {*clientBus, QDBusConnection(QStringLiteral("no such connection"))}) {
        TBalloonNotify balloon(connection);
        int ended = 0;
        balloon.OnBalloonTimeout = [&](TBalloonNotifier &) { ++ended; };
        balloon.ShowBalloon(QStringLiteral("T"), QStringLiteral("B"), 1, biNone);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, 5000));
    }
    EXPECT_TRUE(server.sent.empty());
    const auto lines = std::count_if(log.lines.begin(), log.lines.end(), [](const QString &l) {
        return l.startsWith("Desktop notifications are not available");
    });
    EXPECT_EQ(lines, 1) << log.lines.join('\n').toStdString();
}

// The notice of a window that could not come to the front: what it says, the token of the
// click handed on with it (a click without one hands on none), and its withdrawal.
TEST_F(BalloonNotifyTest, WaitingNoticeHandsOnTheTokenOfItsClick) {
    TWaitingNotice notice(*clientBus);
    QSignalSpy invoked(&notice, &TWaitingNotice::Invoked);
    const auto show = [&](const QString &document) {
        const size_t before = server.sent.size();
        notice.Show(QStringLiteral("Cost center"), document);
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.sent.size() == before + 1; }, 5000));
        return uint(100 + server.sent.size());
    };

    uint id = show(QStringLiteral("report.pdf"));
    EXPECT_EQ(server.sent.back().summary, "A print job needs your answers");
    EXPECT_EQ(server.sent.back().body, "Cost center\nreport.pdf");
    EXPECT_EQ(server.sent.back().timeout, 0) << "until the job ends";
    ASSERT_GE(server.sent.back().actions.size(), 2);
    EXPECT_EQ(server.sent.back().actions.at(0), "default");
    emit server.ActivationToken(id, QStringLiteral("token-7"));
    emit server.ActionInvoked(id, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return invoked.size() == 1; }, 5000));
    EXPECT_EQ(invoked.at(0).at(0).toString(), "token-7");

    id = show(QString());
    EXPECT_EQ(server.sent.back().body, "Cost center") << "no document known";
    emit server.ActionInvoked(id, QStringLiteral("default"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return invoked.size() == 2; }, 5000));
    EXPECT_EQ(invoked.at(1).at(0).toString(), "") << "the earlier click's token is spent";

    id = show(QString());
    EXPECT_TRUE(notice.Shown());
    notice.Withdraw();
    EXPECT_FALSE(notice.Shown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.closed.contains(id); }, 5000));
    settle();
    EXPECT_EQ(invoked.size(), 2);
}

TEST(TrayIconHandler, SharedWhileANotifierHoldsIt) {
    EXPECT_FALSE(TTrayIconHandler::Exists());
    {
        TBalloonNotify first(QDBusConnection(QStringLiteral("none")));
        auto second = std::make_unique<TBalloonNotify>(QDBusConnection(QStringLiteral("none")));
        EXPECT_TRUE(TTrayIconHandler::Exists());
        EXPECT_EQ(TTrayIconHandler::Acquire().get(), TTrayIconHandler::Acquire().get());
        second.reset();
        EXPECT_TRUE(TTrayIconHandler::Exists());
        first.SetVersion(1);
        EXPECT_EQ(first.ShellVersion(), 3);
        first.SetTooltip(QByteArray(200, 'a'));
        EXPECT_EQ(first.ShownTooltip(), QString(127, u'a'));
        first.SetShowTooltip(false);
        EXPECT_EQ(first.ShownTooltip(), QString());
        first.Show();
        EXPECT_TRUE(first.InNotificationArea());
        first.Hide();
        EXPECT_FALSE(first.InNotificationArea());
    }
    EXPECT_FALSE(TTrayIconHandler::Exists());
}

} // namespace

#include "BalloonNotifyTest.moc"

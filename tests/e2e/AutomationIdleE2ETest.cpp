// SPDX-License-Identifier: MIT
// An automation server that no call reaches ends by itself: started by hand, or started by the
// bus for a caller that gave up before the process was up.
#include "E2ESupport.h"
#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>

namespace {

const QString ServiceName = QStringLiteral("com.zorvant.Queriant");

bool nameOwned(const QDBusConnection &bus) {
    return bus.interface()->isServiceRegistered(ServiceName).value();
}

qint64 ownerPid(const QDBusConnection &bus) {
    const QDBusReply<uint> pid = bus.interface()->servicePid(ServiceName);
    return pid.isValid() ? qint64(pid.value()) : 0;
}

// The wait for a first call is a minute; allow for a loaded machine on both sides.
constexpr int NotBeforeMs = 50000;
constexpr int WithinMs = 100000;

} // namespace

TEST(AutomationIdleE2E, ServerStartedByHandEndsWhenNoCallComes) {
    zvtest::Sandbox sandbox;
    e2e::PrivateBus bus;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    QProcess server;
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    server.start(e2e::binPath(QStringLiteral("queriant")), {QStringLiteral("-Embedding")});
    ASSERT_TRUE(server.waitForStarted());

    QDBusConnection observer = bus.connect(QStringLiteral("observer"));
    ASSERT_TRUE(e2e::waitUntil([&] { return nameOwned(observer); }, 20000));
    ASSERT_TRUE(server.waitForFinished(WithinMs)) << "still running after the idle minute";
    EXPECT_GE(clock.elapsed(), NotBeforeMs);
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    EXPECT_FALSE(nameOwned(observer)) << "the name goes back to the bus";
    bus.disconnect(QStringLiteral("observer"));
}

TEST(AutomationIdleE2E, ServerStartedForACallerThatGaveUpEnds) {
    zvtest::Sandbox sandbox;
    QProcess reg;
    reg.start(e2e::binPath(QStringLiteral("queriant")), {QStringLiteral("-RegServer")});
    ASSERT_TRUE(reg.waitForFinished(10000));
    ASSERT_EQ(reg.exitCode(), 0);

    e2e::PrivateBus bus;
    {
        // The bus starts the server for this call; the caller waits 1 ms and leaves.
        QDBusConnection caller = bus.connect(QStringLiteral("impatient"));
        QDBusMessage call = QDBusMessage::createMethodCall(ServiceName, QStringLiteral("/PopupGUI"),
                                                           QStringLiteral("com.zorvant.IPopupGUI"),
                                                           QStringLiteral("PresentData"));
        call << QStringLiteral("<questionsets/>");
        const QDBusMessage reply = caller.call(call, QDBus::Block, 1);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    }
    bus.disconnect(QStringLiteral("impatient"));

    QDBusConnection observer = bus.connect(QStringLiteral("observer"));
    qint64 pid = 0;
    ASSERT_TRUE(e2e::waitUntil([&] { return (pid = ownerPid(observer)) > 0; }, 20000))
        << "the bus started the server";
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::processAlive(pid); }, WithinMs));
    EXPECT_FALSE(nameOwned(observer));
    bus.disconnect(QStringLiteral("observer"));
}

// SPDX-License-Identifier: MIT
// The task host under load from many clients while its tasks stop and start, and the
// task-control members refused to another user on a private system bus with the project's
// policy.
#include "ServiceTestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <unistd.h>

using namespace servicetest;

namespace {

const QString kErrorPrefix = QStringLiteral("com.zorvant.ComOrvantis.Error.");

QDBusMessage callController(const QDBusConnection &bus, const QString &member,
                            const QVariantList &args = {}) {
    return call(bus, kController, kControllerIface, member, args);
}

// An answer, or a refusal carrying the host's own error; anything else (no reply, a lost
// connection, an unknown object) is a fault.
QString fault(const QDBusMessage &reply) {
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {};
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName().startsWith(kErrorPrefix))
        return {};
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

} // namespace

TEST(ComOrvantisUnderLoad, EveryClientCallIsAnsweredWhileTheTasksStopAndStart) {
    constexpr int kClients = 32;
    constexpr int kRounds = 15;
    constexpr qint64 kLimitMs = 120000;

    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-RegServer")}), 0);
    s.registerClass(QStringLiteral("Zv.A"));
    // Start asks the controller for itself from its own thread; a held lock would hang it.
    s.registerClass(QStringLiteral("Zv.Slow"), "zvsampletask",
                    {{"StartDelayMs", 5}, {"StopDelayMs", 5}, {"CallbackOnStart", true}});
    s.registerClass(QStringLiteral("Zv.Bad"), "zvsampletask",
                    {{"StopResult", "0x80004005"}, {"ErrorText", "no licence"}});
    s.registerClass(QStringLiteral("ZorvantSystems.SettingsTask"), "zvsamplesettings");
    s.registerClass(QStringLiteral("ZorvantSystems.ServerNotifications"), "zvsamplenotifications");
    s.writeConfiguration({"Zv.A", "Zv.Slow", "Zv.Bad", "ZorvantSystems.SettingsTask"});

    PrivateBus bus;
    QProcessEnvironment env = s.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    QProcess server;
    ASSERT_TRUE(s.start(server, env));
    QDBusConnection control = bus.connect(QStringLiteral("control"));
    ASSERT_TRUE(waitUntil([&] { return nameOwned(control); }, 20000));

    QElapsedTimer clock;
    clock.start();
    std::atomic<int> answered{0};
    std::atomic<int> clientsDone{0};
    std::mutex faultsLock;
    QStringList faults;
    auto note = [&](const QString &what, const QDBusMessage &reply) {
        const QString text = fault(reply);
        if (text.isEmpty()) {
            ++answered;
            return;
        }
        const std::lock_guard<std::mutex> lock(faultsLock);
        faults << what + QStringLiteral(" -> ") + text;
    };

    std::vector<std::unique_ptr<QThread>> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back(QThread::create([&, c] {
            const QString name = QStringLiteral("client%1").arg(c);
            {
                const QDBusConnection bus2 = QDBusConnection::connectToBus(bus.address(), name);
                const QStringList tasks = {QStringLiteral("Zv.A"), QStringLiteral("Zv.Slow"),
                                           QStringLiteral("Zv.Bad")};
                for (int r = 0; r < kRounds && clock.elapsed() < kLimitMs; ++r) {
                    note(QStringLiteral("GetHostedTask"),
                         callController(bus2, QStringLiteral("GetHostedTask"),
                                        {tasks.at((c + r) % tasks.size())}));
                    note(QStringLiteral("CreateEventServer"),
                         callController(bus2, QStringLiteral("CreateEventServer")));
                    note(QStringLiteral("SettingsManager"),
                         callController(bus2, QStringLiteral("SettingsManager")));
                }
            }
            QDBusConnection::disconnectFromBus(name);
            ++clientsDone;
        }));
        clients.back()->start();
    }

    // Meanwhile the tasks are stopped and started again, over and over.
    int cycles = 0;
    while (clientsDone < kClients && clock.elapsed() < kLimitMs) {
        note(QStringLiteral("StopAllTasks"),
             callController(control, QStringLiteral("StopAllTasks")));
        note(QStringLiteral("StartAllTasks"),
             callController(control, QStringLiteral("StartAllTasks")));
        ++cycles;
    }
    for (const auto &client : clients)
        ASSERT_TRUE(client->wait(30000)) << "a client is stuck in a call";

    EXPECT_TRUE(faults.isEmpty()) << faults.mid(0, 10).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(answered, kClients * kRounds * 3 + 2 * cycles)
        << "every call finished within the limit of " << kLimitMs << " ms";
    EXPECT_GT(cycles, 0);
    EXPECT_EQ(server.state(), QProcess::Running);
    const QDBusMessage after =
        callController(control, QStringLiteral("GetHostedTask"), {QStringLiteral("Zv.A")});
    EXPECT_EQ(after.type(), QDBusMessage::ReplyMessage) << after.errorMessage().toStdString();

    control = QDBusConnection(QStringLiteral("gone"));
    bus.disconnect(QStringLiteral("control"));
    ASSERT_TRUE(server.waitForFinished(30000)) << "the server outlived its last client";
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
}

namespace {

// Another user's view of the bus: dbus-send run as nobody.
struct NobodyCall {
    int exitCode = -1;
    QString output;
};

NobodyCall callAsNobody(const QString &address, const QString &path, const QString &member,
                        const QStringList &args = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("setpriv"),
            QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QStringLiteral("dbus-send"),
                        QStringLiteral("--bus=") + address, QStringLiteral("--print-reply"),
                        QStringLiteral("--reply-timeout=30000"),
                        QStringLiteral("--dest=") + kService, path, member} +
                args);
    NobodyCall call;
    if (!p.waitForFinished(40000)) {
        p.kill();
        p.waitForFinished();
        return call;
    }
    call.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    call.output = QString::fromUtf8(p.readAll());
    return call;
}

// A private bus that checks its senders like the system bus: no method call is allowed unless
// a policy file in the included folder opens it.
QString writeBusConfig(const QString &socketDir, const QString &includeDir, bool openToAll) {
    const QString text =
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>system</type>\n"
            "  <listen>unix:path=%1/bus</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow user=\"*\"/>\n"
            "    <deny own=\"*\"/>\n"
            "    <deny send_type=\"method_call\"/>\n"
            "    <allow send_type=\"signal\"/>\n"
            "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
            "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
            "    <allow receive_type=\"method_call\"/>\n"
            "    <allow receive_type=\"method_return\"/>\n"
            "    <allow receive_type=\"error\"/>\n"
            "    <allow receive_type=\"signal\"/>\n"
            "    <allow send_destination=\"org.freedesktop.DBus\" "
            "send_interface=\"org.freedesktop.DBus\"/>\n"
            "    <allow send_destination=\"org.freedesktop.DBus\" "
            "send_interface=\"org.freedesktop.DBus.Introspectable\"/>\n"
            "%2"
            "  </policy>\n"
            "%3"
            "</busconfig>\n")
            .arg(socketDir,
                 openToAll ? QStringLiteral("    <allow send_destination=\"%1\"/>\n").arg(kService)
                           : QString(),
                 openToAll
                     ? QStringLiteral("  <policy user=\"root\"><allow own=\"%1\"/></policy>\n")
                           .arg(kService)
                     : QStringLiteral("  <includedir>%1</includedir>\n").arg(includeDir));
    const QString path = socketDir + QStringLiteral("/bus.conf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        throw std::runtime_error("cannot write the bus configuration");
    return path;
}

} // namespace

// Run once with the policy file the service installs (the bus refuses), and once on a bus open
// to everybody (the service refuses by itself).
class ComOrvantisAccess : public ::testing::TestWithParam<bool> {};

TEST_P(ComOrvantisAccess, TaskControlIsRefusedToAnotherUserAndTheOpenMembersAnswer) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to call as another user (setpriv --reuid=65534)";
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("dbus-send")).isEmpty())
        GTEST_SKIP() << "needs setpriv and dbus-send";
    const bool openBus = GetParam();

    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-Service")}), 0);
    ASSERT_TRUE(
        QFile::exists(s.sandbox.path(QStringLiteral("system.d/com.zorvant.ComOrvantis.conf"))));
    s.registerClass(QStringLiteral("Zv.A"));
    s.registerClass(QStringLiteral("ZorvantSystems.SettingsTask"), "zvsamplesettings");
    s.registerClass(QStringLiteral("ZorvantSystems.ServerNotifications"), "zvsamplenotifications");
    s.writeConfiguration({"Zv.A", "ZorvantSystems.SettingsTask"});

    // The bus socket must be reachable by the other user; the sandbox is not.
    QTemporaryDir socketDir(QDir::tempPath() + QStringLiteral("/zvbus-XXXXXX"));
    ASSERT_TRUE(socketDir.isValid());
    QFile::setPermissions(socketDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::ExeGroup |
                                                QFile::ReadOther | QFile::ExeOther);
    const QString config =
        writeBusConfig(socketDir.path(), s.sandbox.path(QStringLiteral("system.d")), openBus);
    PrivateBus bus(QProcessEnvironment::systemEnvironment(), config);

    DatagramSink notify(s.sandbox.path(QStringLiteral("notify")));
    QProcessEnvironment env = s.environment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    QProcess service;
    ASSERT_TRUE(s.start(service, env));
    ASSERT_TRUE(notify.waitFor(QStringLiteral("READY=1"), 20000));

    const QString controlIface = kControllerIface + QLatin1Char('.');
    for (const char *member : {"LoadAllTasks", "StartAllTasks", "StopAllTasks", "UnloadAllTasks"}) {
        const NobodyCall call =
            callAsNobody(bus.address(), kController, controlIface + QLatin1String(member));
        EXPECT_NE(call.exitCode, 0) << member << ": " << call.output.toStdString();
        EXPECT_TRUE(call.output.contains(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied")))
            << member << ": " << call.output.toStdString();
        if (openBus) {
            EXPECT_TRUE(call.output.contains(
                QStringLiteral("Only the administrator may control the hosted tasks.")))
                << call.output.toStdString();
        }
    }

    const NobodyCall task =
        callAsNobody(bus.address(), kController, controlIface + QStringLiteral("GetHostedTask"),
                     {QStringLiteral("string:Zv.A")});
    ASSERT_EQ(task.exitCode, 0) << task.output.toStdString();
    EXPECT_TRUE(task.output.contains(QStringLiteral("/OrvantisController/Objects/")))
        << task.output.toStdString();
    for (const char *member : {"SettingsManager", "CreateEventServer"}) {
        const NobodyCall call =
            callAsNobody(bus.address(), kController, controlIface + QLatin1String(member));
        EXPECT_EQ(call.exitCode, 0) << member << ": " << call.output.toStdString();
        EXPECT_TRUE(call.output.contains(QStringLiteral("/OrvantisController/Objects/")))
            << member << ": " << call.output.toStdString();
    }
    // The refused calls left the task running; root may stop it.
    {
        const QDBusConnection root = bus.connect(QStringLiteral("root"));
        const QDBusMessage reply =
            callController(root, QStringLiteral("GetHostedTask"), {QStringLiteral("Zv.A")});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        const QString taskPath = reply.arguments().at(0).value<QDBusObjectPath>().path();
        auto isRunning = [&] {
            QDBusMessage get = QDBusMessage::createMethodCall(
                kService, taskPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"));
            get << kTaskIface << QStringLiteral("IsRunning");
            const QDBusMessage value = QDBusConnection(root).call(get, QDBus::Block, 30000);
            return value.type() == QDBusMessage::ReplyMessage &&
                   value.arguments().at(0).value<QDBusVariant>().variant().toBool();
        };
        EXPECT_TRUE(isRunning());
        const QDBusMessage stop = callController(root, QStringLiteral("StopAllTasks"));
        EXPECT_EQ(stop.type(), QDBusMessage::ReplyMessage) << stop.errorMessage().toStdString();
        EXPECT_FALSE(isRunning());
    }
    bus.disconnect(QStringLiteral("root"));
    EXPECT_TRUE(s.records().contains(QStringLiteral("Zv.A Stop")));

    ::kill(pid_t(service.processId()), SIGTERM);
    ASSERT_TRUE(service.waitForFinished(20000));
    EXPECT_EQ(service.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Bus, ComOrvantisAccess, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "OpenBusServiceRefuses" : "ProjectPolicy";
                         });

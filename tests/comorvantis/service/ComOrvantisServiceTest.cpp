// SPDX-License-Identifier: MIT
// The real comorvantis program: registration, the local server on a private session bus, and
// the systemd service with its notify states, stop signal and system-bus name.
#include "ServiceTestSupport.h"
#include "ZvRegistry.h"
#include "ZvServiceHdl.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QThread>

#include <csignal>

using namespace servicetest;

namespace {

const QString kAppIdKey = QStringLiteral("AppID\\{5912CFF0-5714-44D6-A023-486F0E5354B2}");
const QString kClassKey = QStringLiteral("CLSID\\{195B05A8-74E3-480A-A947-0AD9540DB009}");
const QString kEventSource = QStringLiteral(
    "System\\CurrentControlSet\\Services\\EventLog\\Application\\Zorvant Systems ComOrvantis");

QString objectPath(const QDBusMessage &reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QStringLiteral("<error: %1>").arg(reply.errorMessage());
    return reply.arguments().at(0).value<QDBusObjectPath>().path();
}

QVariant property(QDBusConnection &bus, const QString &path, const QString &iface,
                  const QString &name) {
    const QDBusMessage reply = call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {iface, name});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return reply.arguments().at(0).value<QDBusVariant>().variant();
}

QList<int> intList(const QVariant &v) {
    if (v.canConvert<QDBusArgument>())
        return qdbus_cast<QList<int>>(v.value<QDBusArgument>());
    return v.value<QList<int>>();
}

qsizetype indexOf(const QStringList &lines, const QString &line) {
    return lines.indexOf(line);
}

bool classesKeyExists(zv::RegRoot root, const QString &path) {
    return zv::ZvRegKey::open(root, path).has_value();
}

} // namespace

TEST(ComOrvantisProgram, HelpListsTheSwitches) {
    ServiceSandbox s;
    const QByteArray registryBefore = s.sandbox.readFile(QStringLiteral("machine.reg"));
    QProcess process;
    process.start(s.program, {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char *sw :
         {"Service", "RegServer", "RegServerPerUser", "UnregServer", "UnregServerPerUser"})
        EXPECT_TRUE(text.contains(QLatin1String(sw))) << sw;
    EXPECT_EQ(s.sandbox.readFile(QStringLiteral("machine.reg")), registryBefore)
        << "--help touches nothing";
}

TEST(ComOrvantisProgram, ServiceSwitchInstallsUnitPolicyAndRegistrationAndUnregServerRemovesThem) {
    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("/sErViCe")}), 0);

    const QString unitDir = s.sandbox.path(QStringLiteral("systemd"));
    const QString unit = unitDir + QStringLiteral("/zorvant-comorvantis.service");
    const QString wants =
        unitDir + QStringLiteral("/multi-user.target.wants/zorvant-comorvantis.service");
    const QString policy = s.sandbox.path(QStringLiteral("system.d/com.zorvant.ComOrvantis.conf"));
    const QString unitText = QString::fromUtf8(
        s.sandbox.readFile(QStringLiteral("systemd/zorvant-comorvantis.service")));
    EXPECT_TRUE(unitText.contains(QStringLiteral("Type=notify\n")));
    EXPECT_TRUE(unitText.contains(QStringLiteral("ExecStart=\"%1\"\n").arg(s.program)));
    // The start type was changed to automatic with both dependencies.
    EXPECT_TRUE(unitText.contains(QStringLiteral("After=systemd-journald.socket dbus.service\n")));
    EXPECT_EQ(QFileInfo(wants).symLinkTarget(), unit);
    const QString policyText = QString::fromUtf8(
        s.sandbox.readFile(QStringLiteral("system.d/com.zorvant.ComOrvantis.conf")));
    EXPECT_TRUE(policyText.contains(QStringLiteral("<allow own=\"com.zorvant.ComOrvantis\"/>")));
    EXPECT_FALSE(policyText.contains(QStringLiteral("LoadAllTasks")));

    const auto appId = zv::ZvRegKey::open(zv::RegRoot::ClassesRoot, kAppIdKey);
    ASSERT_TRUE(appId);
    EXPECT_EQ(appId->readString(QStringLiteral("LocalService")),
              QStringLiteral("Zorvant Systems ComOrvantis"));
    const auto server =
        zv::ZvRegKey::open(zv::RegRoot::ClassesRoot, kClassKey + QStringLiteral("\\LocalServer32"));
    ASSERT_TRUE(server);
    EXPECT_EQ(server->readString(QString()), QLatin1Char('"') + s.program + QLatin1Char('"'));
    const auto source = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, kEventSource);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->readDWord(QStringLiteral("TypesSupported")), 7u);
    EXPECT_EQ(source->readString(QStringLiteral("EventMessageFile")), s.program);
    EXPECT_TRUE(
        s.logLines().contains(QStringLiteral("Command line = '%1 /sErViCe'").arg(s.program)));

    ASSERT_EQ(s.run({QStringLiteral("-UnregServer")}), 0);
    EXPECT_FALSE(QFile::exists(unit));
    EXPECT_FALSE(QFileInfo(wants).isSymLink());
    EXPECT_FALSE(QFile::exists(policy));
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::ClassesRoot, kAppIdKey));
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::ClassesRoot, kClassKey));
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::ClassesRoot,
                                  QStringLiteral("ZorvantSystems.OrvantisController")));
    EXPECT_TRUE(classesKeyExists(zv::RegRoot::ClassesRoot, QStringLiteral("CLSID")));
    EXPECT_TRUE(classesKeyExists(zv::RegRoot::ClassesRoot, QStringLiteral("AppID")));
    EXPECT_FALSE(zv::ZvRegKey::open(zv::RegRoot::LocalMachine, kEventSource));
}

TEST(ComOrvantisProgram, RegServerPerUserWritesUserClassesOnly) {
    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-RegServerPerUser")}), 0);
    const auto appId = zv::ZvRegKey::open(zv::RegRoot::UserClasses, kAppIdKey);
    ASSERT_TRUE(appId);
    EXPECT_FALSE(appId->readString(QStringLiteral("LocalService")));
    EXPECT_TRUE(classesKeyExists(zv::RegRoot::UserClasses,
                                 QStringLiteral("ZorvantSystems.OrvantisController.1\\CLSID")));
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::ClassesRoot, kClassKey));
    EXPECT_FALSE(
        QFile::exists(s.sandbox.path(QStringLiteral("systemd/zorvant-comorvantis.service"))));
    ASSERT_EQ(s.run({QStringLiteral("-UnregServerPerUser")}), 0);
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::UserClasses, kClassKey));
    EXPECT_FALSE(classesKeyExists(zv::RegRoot::UserClasses, kAppIdKey));
}

TEST(ComOrvantisProgram, FailedConfigurationChangeIsRetriedFiveTimes) {
    ServiceSandbox s;
    // The unit folder cannot be made: a file is in the way.
    const QString blocked = s.sandbox.writeFile(QStringLiteral("blocked"), "x");
    zvtest::ScopedEnv unitDir("ZORVANT_SYSTEMD_DIR", QFile::encodeName(blocked + "/units"));
    QString errors;
    EXPECT_EQ(s.run({QStringLiteral("-Service")}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Could not open Service Manager")));
    const QStringList log = s.logLines();
    EXPECT_EQ(log.filter(QStringLiteral("Failed to change config. ")).size(), 5);
    EXPECT_EQ(log.count(QStringLiteral("Installation of Service has failed")), 1);
}

TEST(ComOrvantisProgram, UnregisteredProgramDoesNotRun) {
    ServiceSandbox s;
    QString errors;
    EXPECT_NE(s.run({}, &errors), 0);
    EXPECT_TRUE(errors.contains(QStringLiteral("not registered")));
}

TEST(ComOrvantisProgram, LocalServerServesClientsAndEndsWhenTheLastOneLeaves) {
    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-RegServer")}), 0);
    s.registerClass(QStringLiteral("Zv.A"));
    s.registerClass(QStringLiteral("Zv.Bad"), "zvsampletask",
                    {{"StopResult", "0x80004005"}, {"ErrorText", "no licence"}});
    s.registerClass(QStringLiteral("ZorvantSystems.SettingsTask"), "zvsamplesettings");
    s.registerClass(QStringLiteral("ZorvantSystems.ServerNotifications"), "zvsamplenotifications");
    s.writeConfiguration({"Zv.A", "Zv.Bad", "ZorvantSystems.SettingsTask"});

    PrivateBus bus;
    QProcessEnvironment env = s.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    QProcess server;
    ASSERT_TRUE(s.start(server, env));

    QDBusConnection first = bus.connect(QStringLiteral("first"));
    QDBusConnection second = bus.connect(QStringLiteral("second"));
    ASSERT_TRUE(waitUntil([&] { return nameOwned(first); }, 20000));

    const QString task = objectPath(
        call(first, kController, kControllerIface, QStringLiteral("GetHostedTask"), {"Zv.A"}));
    ASSERT_TRUE(task.startsWith(QStringLiteral("/OrvantisController/Objects/")))
        << task.toStdString();
    EXPECT_EQ(property(first, task, kTaskIface, QStringLiteral("ProgID")), QVariant("Zv.A"));
    EXPECT_EQ(property(first, task, kTaskIface, QStringLiteral("IsRunning")), QVariant(true));
    EXPECT_EQ(call(first, task, kTaskIface, QStringLiteral("Stop")).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(property(first, task, kTaskIface, QStringLiteral("IsRunning")), QVariant(false));
    EXPECT_EQ(call(first, task, kTaskIface, QStringLiteral("Start")).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(property(first, task, kTaskIface, QStringLiteral("IsRunning")), QVariant(true));
    EXPECT_EQ(objectPath(call(first, kController, kControllerIface, QStringLiteral("GetHostedTask"),
                              {"Zv.A"})),
              task);
    EXPECT_EQ(objectPath(call(first, kController, kControllerIface, QStringLiteral("GetHostedTask"),
                              {"nope"})),
              QStringLiteral("/"));

    // A failing task's error information reaches the D-Bus caller.
    const QString bad = objectPath(
        call(first, kController, kControllerIface, QStringLiteral("GetHostedTask"), {"Zv.Bad"}));
    const QDBusMessage failed = call(first, bad, kTaskIface, QStringLiteral("Stop"));
    EXPECT_EQ(failed.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(failed.errorName(), QStringLiteral("com.zorvant.ComOrvantis.Error.x80004005"));
    EXPECT_EQ(failed.errorMessage(), QStringLiteral("no licence"));

    const QString settings =
        objectPath(call(first, kController, kControllerIface, QStringLiteral("SettingsManager")));
    ASSERT_TRUE(settings.startsWith(QStringLiteral("/OrvantisController/Objects/")));
    const QDBusMessage read = call(first, settings, QStringLiteral("com.zorvant.ISettings"),
                                   QStringLiteral("ReadSettings"), {QVariant::fromValue(7u)});
    ASSERT_EQ(read.type(), QDBusMessage::ReplyMessage) << read.errorMessage().toStdString();
    EXPECT_EQ(read.arguments().at(0).toString(), QStringLiteral("setting 7"));

    const QString events = objectPath(
        call(second, kController, kControllerIface, QStringLiteral("CreateEventServer")));
    ASSERT_TRUE(events.startsWith(QStringLiteral("/OrvantisController/Objects/")));
    EXPECT_EQ(call(second, events, QStringLiteral("com.zorvant.IServerNotifications"),
                   QStringLiteral("Advise"), {4})
                  .type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(intList(property(second, events, QStringLiteral("com.zorvant.IServerNotifications"),
                               QStringLiteral("NotifyIds"))),
              QList<int>{4});

    // The first client leaves; the second still holds the server.
    first = QDBusConnection(QStringLiteral("gone")); // our last reference to the connection
    bus.disconnect(QStringLiteral("first"));
    QThread::msleep(1500);
    EXPECT_EQ(server.state(), QProcess::Running);
    EXPECT_TRUE(nameOwned(second));
    second = QDBusConnection(QStringLiteral("gone"));
    bus.disconnect(QStringLiteral("second"));
    ASSERT_TRUE(server.waitForFinished(20000))
        << s.logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);

    const QStringList records = s.records();
    EXPECT_GE(records.count(QStringLiteral("Zv.A Stop")), 2) << "by the client and at the end";
    EXPECT_LT(indexOf(records, QStringLiteral("ServerNotifications Destroyed")),
              records.lastIndexOf(QStringLiteral("Zv.A Stop")))
        << "the event server goes with its client";
    // Unloading releases in reverse configured order.
    EXPECT_EQ(records.mid(records.size() - 3), (QStringList{"ZorvantSystems.SettingsTask Destroyed",
                                                            "Zv.Bad Destroyed", "Zv.A Destroyed"}));
    const QStringList log = s.logLines();
    EXPECT_TRUE(log.contains(QStringLiteral(
        "[COrvantisControllerImpl::StopAllTasks] COM exception: Unspecified error")));
    EXPECT_EQ(log.last(), QStringLiteral("<- CComOrvantisModule::PostMessageLoop"));
}

TEST(ComOrvantisProgram, ServiceReportsItsStatesAndStopsInOrderOnSigterm) {
    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-Service")}), 0);
    s.registerClass(QStringLiteral("Zv.A"));
    s.registerClass(QStringLiteral("Zv.B"));
    s.writeConfiguration({"Zv.A", "Zv.B"});

    PrivateBus bus;
    DatagramSink notify(s.sandbox.path(QStringLiteral("notify")));
    DatagramSink syslog(s.sandbox.path(QStringLiteral("syslog")));
    QProcessEnvironment env = s.environment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    env.insert(QStringLiteral("ZORVANT_SYSLOG_SOCKET"), syslog.path());
    QProcess service;
    ASSERT_TRUE(s.start(service, env));
    ASSERT_TRUE(notify.waitFor(QStringLiteral("READY=1"), 20000));

    QDBusConnection client = bus.connect(QStringLiteral("client"));
    ASSERT_TRUE(waitUntil([&] { return nameOwned(client); }, 20000));
    const QString task = objectPath(
        call(client, kController, kControllerIface, QStringLiteral("GetHostedTask"), {"Zv.B"}));
    EXPECT_EQ(property(client, task, kTaskIface, QStringLiteral("IsRunning")), QVariant(true));
    // Clients leaving do not end a service.
    client = QDBusConnection(QStringLiteral("gone"));
    bus.disconnect(QStringLiteral("client"));
    QThread::msleep(300);
    ASSERT_EQ(service.state(), QProcess::Running);

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(service.processId()), SIGTERM);
    ASSERT_TRUE(service.waitForFinished(20000));
    // The one-second pause after revocation belongs to the local server only.
    EXPECT_LT(stopping.elapsed(), 1000);
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
    EXPECT_EQ(notify.received(),
              (QStringList{"STATUS=Start pending", "READY=1\nSTATUS=Running",
                           "STOPPING=1\nSTATUS=Stop pending", "STATUS=Stopped"}));

    const QStringList records = s.records();
    EXPECT_EQ(records.mid(records.size() - 4),
              (QStringList{"Zv.B Stop", "Zv.A Stop", "Zv.B Destroyed", "Zv.A Destroyed"}));
    const QStringList log = s.logLines();
    const qsizetype onStop = indexOf(log, QStringLiteral("-> CComOrvantisModule::OnStop"));
    const qsizetype post = indexOf(log, QStringLiteral("-> CComOrvantisModule::PostMessageLoop"));
    const qsizetype stop = indexOf(log, QStringLiteral("-> COrvantisControllerImpl::StopAllTasks"));
    const qsizetype unload =
        indexOf(log, QStringLiteral("-> COrvantisControllerImpl::UnloadAllTasks"));
    ASSERT_GE(onStop, 0);
    EXPECT_LT(onStop, post);
    EXPECT_LT(post, stop);
    EXPECT_LT(stop, unload);
    EXPECT_EQ(log.last(), QStringLiteral("<- CComOrvantisModule::PostMessageLoop"));

    const QStringList events = syslog.received();
    ASSERT_EQ(events.size(), 2);
    EXPECT_TRUE(events.at(0).endsWith(QStringLiteral("Service started/resumed")));
    EXPECT_TRUE(events.at(1).endsWith(QStringLiteral("Service stopped")));
    EXPECT_TRUE(events.at(0).contains(QStringLiteral("Zorvant Systems ComOrvantis[")));
}

TEST(ComOrvantisProgram, SessionBusStartsTheRegisteredServerForAClient) {
    ServiceSandbox s;
    ASSERT_EQ(s.run({QStringLiteral("-RegServer")}), 0);
    const QString activation = QString::fromUtf8(
        s.sandbox.readFile(QStringLiteral("data/dbus-1/services/com.zorvant.ComOrvantis.service")));
    EXPECT_TRUE(activation.contains(QStringLiteral("Exec=%1 -Embedding").arg(s.program)));
    s.registerClass(QStringLiteral("Zv.A"));
    s.writeConfiguration({"Zv.A"});

    // The daemon finds the activation file through XDG_DATA_HOME of the sandbox.
    PrivateBus bus;
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    const QString task = objectPath(
        call(client, kController, kControllerIface, QStringLiteral("GetHostedTask"), {"Zv.A"}));
    EXPECT_TRUE(task.startsWith(QStringLiteral("/OrvantisController/Objects/")))
        << task.toStdString();
    EXPECT_TRUE(
        s.logLines().contains(QStringLiteral("Command line = '%1 -Embedding'").arg(s.program)));
    client = QDBusConnection(QStringLiteral("gone"));
    bus.disconnect(QStringLiteral("client"));

    QDBusConnection observer = bus.connect(QStringLiteral("observer"));
    EXPECT_TRUE(waitUntil([&] { return !nameOwned(observer); }, 20000));
    EXPECT_TRUE(
        waitUntil([&] { return s.records().contains(QStringLiteral("Zv.A Destroyed")); }, 5000));

    ASSERT_EQ(s.run({QStringLiteral("-UnregServer")}), 0);
    EXPECT_FALSE(QFile::exists(
        s.sandbox.path(QStringLiteral("data/dbus-1/services/com.zorvant.ComOrvantis.service"))));
}

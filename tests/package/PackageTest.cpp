// SPDX-License-Identifier: MIT
// The Debian packages as an administrator gets them: unpacked with dpkg-deb into a root of
// the test's own, the programs run from there must find their siblings, the language file,
// the plug-ins and their configuration through the shipped links and hives alone.
#include "PopupServerProcess.h"
#include "ServiceTestSupport.h"
#include "TestSupport.h"

#include "PrintJobDetails.h"
#include "ZvRegistry.h"
#include "ZvSharedSection.h"

#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

namespace {

const QString kConfig = QStringLiteral("/etc/zorvant/comorvantis.config");
const QString kConfigLink = QStringLiteral("/usr/lib/zorvant/bin/comorvantis.config");

const QStringList kPackages = {QStringLiteral("queriant"), QStringLiteral("comorvantis"),
                               QStringLiteral("zorvant-tools")};

QString packageFile(const QString &name) {
    const QDir dir(QStringLiteral(ZV_PACKAGE_DIR));
    const QStringList found = dir.entryList({name + QStringLiteral("_*.deb")}, QDir::Files);
    return found.size() == 1 ? dir.filePath(found.first()) : QString();
}

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome run(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
            int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Outcome result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("%1 did not end in time").arg(program);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

class UnpackedPackages : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString root = sandbox.path(QStringLiteral("root"));

    void SetUp() override {
        QDir().mkpath(root);
        for (const QString &name : kPackages) {
            const QString deb = packageFile(name);
            ASSERT_FALSE(deb.isEmpty()) << "no package " << name.toStdString();
            const Outcome unpacked =
                run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root});
            ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err.toStdString();
        }
    }

    QString at(const QString &path) const { return root + path; }
    QByteArray read(const QString &path) const {
        QFile file(at(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A shipped hive as the installed programs would see it, with its paths moved into the root.
    void useHive(const QString &shipped) const {
        QByteArray text = read(shipped);
        ASSERT_FALSE(text.isEmpty()) << shipped.toStdString();
        text.replace("/usr/lib/zorvant", at(QStringLiteral("/usr/lib/zorvant")).toUtf8());
        sandbox.writeFile(QStringLiteral("machine.reg"), text);
    }
    static QString controlField(const QString &deb, const char *field) {
        return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(field)})
            .out.trimmed();
    }
};

} // namespace

// What dpkg and the buses read: dependencies from the shared libraries, the conffiles, and
// activation files and links that lead to programs inside the package.
TEST_F(UnpackedPackages, ControlDataLinksAndActivationFiles) {
    const struct {
        const char *package;
        QStringList depends;
        QStringList conffiles;
    } cases[] = {
        {"queriant",
         {"libqt6widgets6", "libqt6dbus6", "libssl3", "libpugixml1v5"},
         {"/etc/zorvant/machine.reg"}},
        {"comorvantis",
         {"libqt6dbus6", "libsystemd0", "dbus"},
         {"/etc/zorvant/comorvantis.config", "/etc/zorvant/comorvantis.reg"}},
        {"zorvant-tools", {"libqt6core6", "queriant (= "}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.package);
        const QString deb = packageFile(QLatin1String(c.package));
        const QString depends = controlField(deb, "Depends");
        for (const QString &d : c.depends)
            EXPECT_TRUE(depends.contains(d)) << depends.toStdString();
        const Outcome conffiles = run(QStringLiteral("dpkg-deb"),
                                      {QStringLiteral("--info"), deb, QStringLiteral("conffiles")});
        EXPECT_EQ(conffiles.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), c.conffiles);
    }

    for (const char *program :
         {"queriant", "comorvantis", "zvpopupd", "zvjob", "zvrequest", "zvdbserver"}) {
        const QFileInfo link(at(QStringLiteral("/usr/bin/") + QLatin1String(program)));
        EXPECT_TRUE(link.isSymLink()) << program;
        EXPECT_EQ(link.canonicalFilePath(),
                  at(QStringLiteral("/usr/lib/zorvant/bin/") + QLatin1String(program)));
        EXPECT_TRUE(link.isExecutable()) << program;
    }
    // The task host reads "<program>.config": the administrator's file in /etc.
    EXPECT_EQ(QFileInfo(at(kConfigLink)).symLinkTarget(), kConfig);

    static const QRegularExpression exec(QStringLiteral("^(?:Exec|ExecStart)=(\\S+)"),
                                         QRegularExpression::MultilineOption);
    for (const char *file : {"/usr/share/dbus-1/services/com.zorvant.Queriant.service",
                             "/lib/systemd/system/zorvant-comorvantis.service"}) {
        const auto match = exec.match(QString::fromUtf8(read(QLatin1String(file))));
        ASSERT_TRUE(match.hasMatch()) << file;
        EXPECT_TRUE(QFileInfo(at(match.captured(1))).isExecutable()) << file;
    }
    const QString activation = QString::fromUtf8(
        read(QStringLiteral("/usr/share/dbus-1/system-services/com.zorvant.ComOrvantis.service")));
    EXPECT_TRUE(activation.contains(QStringLiteral("SystemdService=zorvant-comorvantis.service")));
}

// A request-file job in German and a popup-server job, each ending by its dialog time-out with
// nobody at the screen: the texts come from the shipped language file, velkor is started from
// the installed path of the machine hive, and the document-management plug-in loads.
TEST_F(UnpackedPackages, ClientFindsItsLanguageFileVelkorAndThePlugIn) {
    useHive(QStringLiteral("/etc/zorvant/machine.reg"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcessEnvironment german = env;
    german.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    const QString request =
        sandbox.writeFile(QStringLiteral("request.xml"),
                          "<questionsets><questionset><formtype>stringform</formtype>"
                          "<title>Message about your print job</title><timeout>1</timeout>"
                          "<question><id>stringform</id><prompt>Name?</prompt></question>"
                          "</questionset></questionsets>");
    const Outcome requestJob =
        run(at(QStringLiteral("/usr/bin/zvrequest")),
            {QStringLiteral("--timeout"), QStringLiteral("60"), QStringLiteral("--section"),
             sandbox.uniqueName("req"), request},
            german);
    EXPECT_EQ(requestJob.exitCode, 0) << requestJob.err.toStdString();
    EXPECT_TRUE(requestJob.out.contains(QStringLiteral("<response>usertimeout</response>")))
        << requestJob.out.toStdString();
    static const QRegularExpression added(QStringLiteral("Add Questionset (.*)$"),
                                          QRegularExpression::MultilineOption);
    const QString title = added.match(requestJob.err).captured(1).trimmed();
    EXPECT_NE(title, QStringLiteral("Message about your print job")) << "no German title";
    EXPECT_TRUE(!title.isEmpty() &&
                QString::fromUtf8(read(QStringLiteral("/usr/lib/zorvant/bin/queriant.lan")))
                    .contains(title))
        << title.toStdString();

    const QString plugin = at(QStringLiteral("/usr/lib/zorvant/plugins/libzvdmssample.so"));
    const QJsonObject queue{
        {"transaction", 3},
        {"group", "Pkg"},
        {"dmsConfig", QStringLiteral("[DLL]\nDLL Name=%1\n[Codes]\nDept=D200\n").arg(plugin)},
        {"descriptors",
         QJsonArray{QJsonObject{
             {"name", "Comment"}, {"prompt", "Comment?"}, {"type", "string"}, {"mandatory", 1}}}}};
    const QByteArray scenario =
        QJsonDocument(QJsonObject{{"version", 1005}, {"queues", QJsonObject{{"Pkg", queue}}}})
            .toJson();
    zvtest::PopupServerProcess server(at(QStringLiteral("/usr/bin/zvpopupd")),
                                      {QStringLiteral("--scenario"),
                                       sandbox.writeFile(QStringLiteral("scenario.json"), scenario),
                                       QStringLiteral("--key-bits"), QStringLiteral("512")});
    ASSERT_GT(server.port(), 0);
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                         QStringLiteral("SOFTWARE\\Zorvant\\Popup Client\\server"))
        .writeString(QStringLiteral("ServerPort"), QString::number(server.port()));
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                         QStringLiteral("SOFTWARE\\Zorvant\\Popup Client"))
        .writeDWord(QStringLiteral("FinishDialogTimeout"), 1);
    const Outcome popupJob =
        run(at(QStringLiteral("/usr/bin/zvjob")),
            {QStringLiteral("--timeout"), QStringLiteral("60"), QStringLiteral("--print-server"),
             QStringLiteral("127.0.0.1"), QStringLiteral("--queue"), QStringLiteral("Pkg"),
             QStringLiteral("--user"), QStringLiteral("alice"), QStringLiteral("--section"),
             sandbox.uniqueName("job")},
            env);
    zv::ZvSharedSection::unlink(PriorJobsSectionName());
    EXPECT_EQ(popupJob.exitCode, 0) << popupJob.err.toStdString();
    EXPECT_TRUE(popupJob.err.contains(QStringLiteral("MainFrm DialogTimeOut")))
        << popupJob.err.toStdString();
    EXPECT_TRUE(popupJob.err.contains(QStringLiteral("Start velkor, ExitCode =0.")))
        << popupJob.err.toStdString();
    EXPECT_TRUE(popupJob.err.contains(QStringLiteral("RunDmsDll DMSCode Count 1")))
        << popupJob.err.toStdString();
}

// The task host as its unit starts it: "--help" first, then with the shipped hive it runs as
// the service on the system bus, hosts a plug-in from the plug-in folder listed in the shipped
// configuration file, stops on SIGTERM, and leaves its conffile hive as it was.
TEST_F(UnpackedPackages, TaskHostRunsAsTheServiceWithAPlugIn) {
    const QString program = at(QStringLiteral("/usr/bin/comorvantis"));
    const Outcome help = run(program, {QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: comorvantis")))
        << help.out.toStdString();

    useHive(QStringLiteral("/etc/zorvant/comorvantis.reg"));
    const QString clsid = QStringLiteral("{6B1C0D2E-3F40-4A51-8C62-7D83E94FA5B6}");
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot, QStringLiteral("Zv.Packaged\\CLSID"))
        .writeString(QString(), clsid);
    zv::ZvRegKey::create(zv::RegRoot::ClassesRoot,
                         QStringLiteral("CLSID\\%1\\InprocServer32").arg(clsid))
        .writeString(QString(), at(QStringLiteral("/usr/lib/zorvant/plugins/libzvsampletask.so")));
    QByteArray config = read(kConfig);
    ASSERT_TRUE(config.contains("<tasks>")) << config.toStdString();
    config.replace("<tasks>", "<tasks><task>Zv.Packaged</task>");
    QFile configFile(at(kConfig));
    ASSERT_TRUE(configFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    configFile.write(config);
    configFile.close();
    // The link is absolute, as installed; here it leads to the root's /etc.
    ASSERT_TRUE(QFile::remove(at(kConfigLink)));
    ASSERT_TRUE(QFile::link(at(kConfig), at(kConfigLink)));
    const QByteArray hive = sandbox.readFile(QStringLiteral("machine.reg"));

    zvtest::PrivateBus bus;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=/nonexistent"));
    env.insert(QStringLiteral("ZORVANT_SYSLOG_SOCKET"), sandbox.path(QStringLiteral("nolog")));
    env.insert(QStringLiteral("ZV_SAMPLE_DIR"), sandbox.dir());
    QProcess service;
    service.setProcessEnvironment(env);
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start(program, {});
    ASSERT_TRUE(service.waitForStarted());

    QDBusConnection client = bus.connect(QStringLiteral("client"));
    EXPECT_TRUE(servicetest::waitUntil([&] { return servicetest::nameOwned(client); }, 20000));
    const QDBusMessage task =
        servicetest::call(client, servicetest::kController, servicetest::kControllerIface,
                          QStringLiteral("GetHostedTask"), {QStringLiteral("Zv.Packaged")});
    ASSERT_EQ(task.type(), QDBusMessage::ReplyMessage) << task.errorMessage().toStdString();
    EXPECT_TRUE(task.arguments().at(0).value<QDBusObjectPath>().path().startsWith(
        QStringLiteral("/OrvantisController/Objects/")));

    ::kill(pid_t(service.processId()), SIGTERM);
    ASSERT_TRUE(service.waitForFinished(20000));
    EXPECT_EQ(service.exitCode(), 0);
    const QString records = QString::fromUtf8(sandbox.readFile(QStringLiteral("records.log")));
    // The sample names itself by its class in its records.
    const QString sample = clsid.mid(1, clsid.size() - 2);
    EXPECT_TRUE(records.contains(sample + QStringLiteral(" Start\n"))) << records.toStdString();
    EXPECT_TRUE(records.contains(sample + QStringLiteral(" Destroyed\n")));
    EXPECT_EQ(sandbox.readFile(QStringLiteral("machine.reg")), hive)
        << "the service wrote into its conffile";
}

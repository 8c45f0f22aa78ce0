// SPDX-License-Identifier: MIT
#include "OrvantisControllerFactory.h"
#include "TestSupport.h"
#include "ZvComRuntime.h"
#include "ZvLogManager.h"

#include <QFile>
#include <QSettings>

#include <atomic>
#include <thread>

using namespace orvantis;
using zv::ZvComPtr;

namespace {

const QString kRoot = QStringLiteral("SOFTWARE\\ZorvantSystems\\Core\\ComOrvantis");

QString pluginPath(const char *name) {
    return QStringLiteral(ZV_BIN_DIR "/plugins/lib%1.so").arg(QLatin1String(name));
}

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        sampleDir =
            std::make_unique<zvtest::ScopedEnv>("ZV_SAMPLE_DIR", QFile::encodeName(sandbox.dir()));
        ZvLogManager::instance().reset();
        const auto key = zv::ZvRegKey::create(zv::RegRoot::LocalMachine, kRoot + "\\Log");
        key.writeString(QStringLiteral("Filename"), sandbox.path(QStringLiteral("service.log")));
        key.writeDWord(QStringLiteral("Options"), 0);
        key.writeDWord(QStringLiteral("Level"), 2);
        ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
        ASSERT_TRUE(QFile::exists(pluginPath("zvsampletask")));
    }
    void TearDown() override {
        if (cookie)
            zv::CoRevokeClassObject(cookie);
        ZvLogManager::instance().reset();
    }

    // Registers a sample class under a ProgID (none when empty) with behaviour settings.
    QUuid registerClass(const QString &progId, const char *library = "zvsampletask",
                        const std::map<QString, QVariant> &behaviour = {}) {
        const QUuid clsid = QUuid::createUuid();
        if (!progId.isEmpty())
            zv::ZvRegKey::create(zv::RegRoot::ClassesRoot, progId + QStringLiteral("\\CLSID"))
                .writeString(QString(), zv::clsidString(clsid));
        zv::ZvRegKey::create(
            zv::RegRoot::ClassesRoot,
            QStringLiteral("CLSID\\%1\\InprocServer32").arg(zv::clsidString(clsid)))
            .writeString(QString(), pluginPath(library));
        QSettings ini(sandbox.path(clsid.toString(QUuid::WithoutBraces).toUpper() + ".ini"),
                      QSettings::IniFormat);
        ini.setValue(QStringLiteral("ProgID"), progId.isEmpty() ? zv::clsidString(clsid) : progId);
        for (const auto &[name, value] : behaviour)
            ini.setValue(name, value);
        return clsid;
    }

    QString writeConfiguration(const QStringList &tasks) {
        QByteArray xml = "<?xml version=\"1.0\"?>\n<configuration>\n  <tasks>\n";
        for (const QString &t : tasks)
            xml += "    <task>" + t.toUtf8() + "</task>\n";
        xml += "  </tasks>\n</configuration>\n";
        return sandbox.writeFile(QStringLiteral("ComOrvantis.config"), xml);
    }

    // The controller as the service obtains it: through its registered class object.
    ZvComPtr<IOrvantisController> controllerFor(const QString &configuration) {
        zv::ZvRegKey::create(zv::RegRoot::ClassesRoot, ProgID_OrvantisController + "\\CLSID")
            .writeString(QString(), zv::clsidString(CLSID_OrvantisController));
        auto *factory = new COrvantisControllerFactory(configuration);
        EXPECT_EQ(zv::CoRegisterClassObject(CLSID_OrvantisController, factory,
                                            zv::CLSCTX_LOCAL_SERVER, zv::REGCLS_MULTIPLEUSE,
                                            &cookie),
                  zv::S_OK);
        factory->Release();
        ZvComPtr<IOrvantisController> controller;
        EXPECT_EQ(zv::CoCreateInstance(CLSID_OrvantisController, nullptr, zv::CLSCTX_ALL,
                                       IID_IOrvantisController, controller.putVoid()),
                  zv::S_OK);
        return controller;
    }

    QStringList records() const {
        return QString::fromUtf8(sandbox.readFile(QStringLiteral("records.log")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList recordsOf(const QString &who) const {
        QStringList mine;
        for (const QString &r : records())
            if (r.startsWith(who + QLatin1Char(' ')))
                mine << r.mid(who.size() + 1);
        return mine;
    }
    QStringList logLines() const {
        return QString::fromUtf8(sandbox.readFile(QStringLiteral("service.log")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    bool logged(const QString &line) const { return logLines().contains(line); }

    zvtest::Sandbox sandbox;
    std::unique_ptr<zvtest::ScopedEnv> sampleDir;
    quint32 cookie = 0;
};

QString progIdOf(IOrvantisTask *task) {
    QString id;
    EXPECT_EQ(task->get_ProgID(&id), zv::S_OK);
    return id;
}

} // namespace

TEST_F(Controller, LoadsStartsStopsAndUnloadsInConfiguredOrder) {
    registerClass(QStringLiteral("Zv.A"));
    registerClass(QStringLiteral("Zv.B"));
    auto controller = controllerFor(writeConfiguration({"Zv.A", "Zv.B", "Zv.A"}));
    ASSERT_TRUE(controller);
    EXPECT_EQ(controller->LoadAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->StartAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->StopAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->UnloadAllTasks(), zv::S_OK);
    // The duplicate is one instance: started once (it reports running the second time), but
    // stopped twice.
    EXPECT_EQ(records(),
              (QStringList{"Zv.A Created", "Zv.B Created", "Zv.A IsRunning", "Zv.A Start",
                           "Zv.B IsRunning", "Zv.B Start", "Zv.A IsRunning", "Zv.A Stop",
                           "Zv.B Stop", "Zv.A Stop", "Zv.A Destroyed", "Zv.B Destroyed"}));
    const QStringList expectedLog{"-> COrvantisControllerImpl::LoadAllTasks",
                                  "Loading task 'Zv.A'",
                                  "Loaded task 'Zv.A'",
                                  "Loading task 'Zv.B'",
                                  "Loaded task 'Zv.B'",
                                  "<- COrvantisControllerImpl::LoadAllTasks",
                                  "-> COrvantisControllerImpl::StartAllTasks",
                                  "Starting task 'Zv.A'",
                                  "Started task 'Zv.A'",
                                  "Starting task 'Zv.B'",
                                  "Started task 'Zv.B'",
                                  "<- COrvantisControllerImpl::StartAllTasks",
                                  "-> COrvantisControllerImpl::StopAllTasks",
                                  "Stopping task 'Zv.A'",
                                  "Stopped task 'Zv.A'",
                                  "Stopping task 'Zv.B'",
                                  "Stopped task 'Zv.B'",
                                  "Stopping task 'Zv.A'",
                                  "Stopped task 'Zv.A'",
                                  "<- COrvantisControllerImpl::StopAllTasks",
                                  "-> COrvantisControllerImpl::UnloadAllTasks",
                                  "<- COrvantisControllerImpl::UnloadAllTasks"};
    QStringList log = logLines();
    log.removeAll(QStringLiteral("-> COrvantisControllerImpl::GetHostedTask"));
    EXPECT_EQ(log, expectedLog);
}

TEST_F(Controller, FailingTasksAreReportedAndTheLoopsGoOn) {
    registerClass(QStringLiteral("Zv.StartFails"), "zvsampletask",
                  {{"StartResult", "0x80004005"}, {"ErrorText", "no licence"}});
    registerClass(QStringLiteral("Zv.StopFails"), "zvsampletask", {{"StopResult", "0x80040205"}});
    registerClass(QStringLiteral("Zv.NoTask"), "zvsampletask", {{"NoTaskInterface", true}});
    registerClass(QStringLiteral("Zv.Ok"));
    const QUuid byClassId = registerClass(QString());
    registerClass(QStringLiteral("Zv.Broken"), "zvsamplenoexport");
    auto controller = controllerFor(
        writeConfiguration({"Zv.StartFails", "Zv.Missing", " Zv.Ok ", "Zv.NoTask", "Zv.StopFails",
                            "Zv.Broken", zv::clsidString(byClassId), "Zv.Ok"}));
    EXPECT_EQ(controller->LoadAllTasks(), zv::S_OK);
    EXPECT_TRUE(
        logged("[COrvantisControllerImpl::LoadAllTasks] COM exception: Invalid class string"));
    EXPECT_TRUE(logged("[COrvantisControllerImpl::LoadAllTasks] COM exception: Error in the DLL"));
    EXPECT_FALSE(logged("Loaded task 'Zv.Missing'"));
    EXPECT_FALSE(logged("Loaded task ' Zv.Ok '"));
    EXPECT_TRUE(logged("Loaded task 'Zv.NoTask'"));

    EXPECT_EQ(controller->StartAllTasks(), zv::E_FAIL);
    EXPECT_TRUE(
        logged("[COrvantisControllerImpl::StartAllTasks] COM exception: Unspecified error"));
    EXPECT_TRUE(logged("[COrvantisControllerImpl::StartAllTasks] COM exception: Invalid pointer"));
    const auto info = zv::GetErrorInfo();
    EXPECT_EQ(recordsOf("Zv.StartFails"), (QStringList{"Created", "IsRunning", "Start"}));
    EXPECT_TRUE(logged("Started task 'Zv.StartFails'"));
    EXPECT_TRUE(recordsOf("Zv.Ok").contains("Start"));
    EXPECT_TRUE(recordsOf(zv::clsidString(byClassId)).contains("Start"));
    EXPECT_FALSE(logged("Starting task 'Zv.Missing'"));

    EXPECT_EQ(controller->StopAllTasks(), zv::E_FAIL);
    EXPECT_TRUE(
        logged("[COrvantisControllerImpl::StopAllTasks] COM exception: IDispatch error #5"));
    EXPECT_TRUE(recordsOf("Zv.Ok").contains("Stop"));
    EXPECT_TRUE(recordsOf("Zv.StartFails").contains("Stop"));

    ZvComPtr<IOrvantisTask> task;
    EXPECT_EQ(controller->GetHostedTask(QStringLiteral("Zv.NoTask"), task.put()), zv::S_OK);
    EXPECT_FALSE(task);
    EXPECT_EQ(controller->GetHostedTask(QStringLiteral("Zv.Ok"), task.put()), zv::S_OK);
    ASSERT_TRUE(task);
    EXPECT_EQ(progIdOf(task.get()), QStringLiteral("Zv.Ok"));
    EXPECT_EQ(controller->GetHostedTask(QStringLiteral("zv.ok"), task.put()), zv::S_OK);
    EXPECT_FALSE(task);
    EXPECT_EQ(controller->UnloadAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->GetHostedTask(QStringLiteral("Zv.Ok"), task.put()), zv::S_OK);
    EXPECT_FALSE(task);
}

TEST_F(Controller, ErrorInformationOfAFailingTaskReachesTheCaller) {
    registerClass(QStringLiteral("Zv.StartFails"), "zvsampletask",
                  {{"StartResult", "0x80004005"}, {"ErrorText", "no licence"}});
    auto controller = controllerFor(writeConfiguration({"Zv.StartFails"}));
    controller->LoadAllTasks();
    zv::GetErrorInfo();
    EXPECT_EQ(controller->StartAllTasks(), zv::E_FAIL);
    const auto info = zv::GetErrorInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->description, QStringLiteral("no licence"));
}

TEST_F(Controller, WithoutConfigurationFileEverythingSucceedsEmpty) {
    const QString path = sandbox.path(QStringLiteral("missing.config"));
    auto controller = controllerFor(path);
    EXPECT_TRUE(logged(
        QStringLiteral("Failed to load config file '%1'. No such file or directory").arg(path)));
    EXPECT_EQ(controller->LoadAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->StartAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->StopAllTasks(), zv::S_OK);
    EXPECT_EQ(controller->UnloadAllTasks(), zv::S_OK);
    ZvComPtr<ISettings> settings;
    EXPECT_EQ(controller->get_SettingsManager(settings.put()), zv::S_OK);
    EXPECT_FALSE(settings);
    EXPECT_TRUE(records().isEmpty());
}

TEST_F(Controller, MalformedConfigurationIsReported) {
    const QString path = sandbox.writeFile(
        QStringLiteral("bad.config"), "<configuration><tasks><task>Zv.A</task></configuration>");
    registerClass(QStringLiteral("Zv.A"));
    auto controller = controllerFor(path);
    EXPECT_TRUE(logged(QStringLiteral("Xml configuration is not well formed.")));
    controller->LoadAllTasks();
    EXPECT_TRUE(records().isEmpty());
}

TEST_F(Controller, SettingsManagerAndEventServers) {
    registerClass(ProgID_SettingsTask, "zvsamplesettings", {{"CacheLocation", "/var/cache/zv"}});
    auto controller = controllerFor(writeConfiguration({ProgID_SettingsTask}));
    ZvComPtr<ISettings> settings;
    EXPECT_EQ(controller->get_SettingsManager(settings.put()), zv::S_OK);
    EXPECT_FALSE(settings) << "available only once loaded";
    controller->LoadAllTasks();
    ASSERT_EQ(controller->get_SettingsManager(settings.put()), zv::S_OK);
    ASSERT_TRUE(settings);
    QString text;
    EXPECT_EQ(settings->get_CacheLocation(&text), zv::S_OK);
    EXPECT_EQ(text, QStringLiteral("/var/cache/zv"));
    EXPECT_EQ(settings->ReadSettings(7, &text), zv::S_OK);
    EXPECT_EQ(text, QStringLiteral("setting 7"));
    EXPECT_EQ(controller->get_SettingsManager(nullptr), zv::E_POINTER);
    EXPECT_TRUE(
        logged("[COrvantisControllerImpl::get_SettingsManager] COM exception: Invalid pointer"));

    // No notification server registered: the failure code comes back.
    ZvComPtr<IServerNotifications> server;
    EXPECT_EQ(controller->CreateEventServer(server.put()), zv::CO_E_CLASSSTRING);
    EXPECT_TRUE(
        logged("[COrvantisControllerImpl::CreateEventServer] COM exception: Invalid class string"));
    registerClass(ProgID_ServerNotifications, "zvsamplenotifications");
    ZvComPtr<IServerNotifications> second;
    ASSERT_EQ(controller->CreateEventServer(server.put()), zv::S_OK);
    ASSERT_EQ(controller->CreateEventServer(second.put()), zv::S_OK);
    ASSERT_TRUE(server && second);
    EXPECT_NE(server.get(), second.get()) << "every call creates a new server";
    server->Advise(3);
    QList<qint32> ids;
    EXPECT_EQ(second->get_NotifyIds(&ids), zv::S_OK);
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(server->get_NotifyIds(&ids), zv::S_OK);
    EXPECT_EQ(ids, QList<qint32>{3});
    EXPECT_EQ(controller->CreateEventServer(nullptr), zv::E_POINTER);
    EXPECT_EQ(controller->GetHostedTask(QStringLiteral("x"), nullptr), zv::E_POINTER);
}

TEST_F(Controller, EventServerWithoutTheInterfaceIsEmptySuccess) {
    registerClass(ProgID_ServerNotifications, "zvsamplenotifications", {{"NoTaskInterface", true}});
    auto controller = controllerFor(sandbox.path(QStringLiteral("none.config")));
    IServerNotifications *server = reinterpret_cast<IServerNotifications *>(1);
    EXPECT_EQ(controller->CreateEventServer(&server), zv::S_OK);
    EXPECT_EQ(server, nullptr);
}

TEST_F(Controller, FactoryHandsOutOneControllerAndCountsExternalReferences) {
    std::vector<bool> lockCalls;
    auto *factory = new COrvantisControllerFactory(sandbox.path(QStringLiteral("none.config")),
                                                   [&](bool on) { lockCalls.push_back(on); });
    void *first = nullptr;
    void *second = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOrvantisController, &first), zv::S_OK);
    EXPECT_EQ(lockCalls, std::vector<bool>{true});
    ASSERT_EQ(factory->CreateInstance(nullptr, zv::IID_IUnknown, &second), zv::S_OK);
    EXPECT_EQ(static_cast<zv::IUnknown *>(second),
              static_cast<zv::IUnknown *>(static_cast<IOrvantisController *>(first)));
    void *refused = reinterpret_cast<void *>(1);
    EXPECT_EQ(
        factory->CreateInstance(static_cast<zv::IUnknown *>(second), zv::IID_IUnknown, &refused),
        zv::CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISettings, &refused), zv::E_NOINTERFACE);
    static_cast<IOrvantisController *>(first)->Release();
    EXPECT_EQ(lockCalls.size(), 1u);
    static_cast<zv::IUnknown *>(second)->Release();
    EXPECT_EQ(lockCalls, (std::vector<bool>{true, false}));
    factory->Release();
}

TEST_F(Controller, TaskCallingBackFromItsOwnThreadDuringStartDoesNotDeadlock) {
    registerClass(QStringLiteral("Zv.Caller"), "zvsampletask", {{"CallbackOnStart", true}});
    auto controller = controllerFor(writeConfiguration({"Zv.Caller"}));
    controller->LoadAllTasks();
    EXPECT_EQ(controller->StartAllTasks(), zv::S_OK);
    EXPECT_EQ(recordsOf("Zv.Caller"),
              (QStringList{"Created", "IsRunning", "Start", "Callback 0x00000000 found"}));
    controller->StopAllTasks();
    controller->UnloadAllTasks();
}

TEST_F(Controller, ManyThreadsAskForTasksWhileTheyStartAndStop) {
    QStringList ids;
    for (int i = 0; i < 6; ++i) {
        ids << QStringLiteral("Zv.Slow%1").arg(i);
        registerClass(ids.last(), "zvsampletask", {{"StartDelayMs", 5}, {"StopDelayMs", 5}});
    }
    auto controller = controllerFor(writeConfiguration(ids));
    controller->LoadAllTasks();
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::atomic<int> calls{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 32; ++t) {
        clients.emplace_back([&, t] {
            ZvComPtr<IOrvantisController> mine = controller;
            while (!done) {
                const QString id = ids.at((t + calls) % ids.size());
                ZvComPtr<IOrvantisTask> task;
                if (mine->GetHostedTask(id, task.put()) != zv::S_OK || !task ||
                    progIdOf(task.get()) != id)
                    ++wrong;
                bool running = false;
                if (task)
                    task->get_IsRunning(&running);
                ++calls;
            }
        });
    }
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(controller->StartAllTasks(), zv::S_OK);
        EXPECT_EQ(controller->StopAllTasks(), zv::S_OK);
    }
    done = true;
    for (auto &c : clients)
        c.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(calls, 32);
    controller->UnloadAllTasks();
    EXPECT_EQ(recordsOf("Zv.Slow0").count("Start"), 3);
}

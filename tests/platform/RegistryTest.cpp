// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zv::RegRoot;
using zv::RegValue;
using zv::ZvRegKey;

namespace {

const QString kClient = QStringLiteral("SOFTWARE\\Zorvant\\Popup Client");

mode_t fileMode(const QString &path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

TEST(Registry, MissingHiveHasNoKeysAndIsCreatedOnFirstWrite) {
    zvtest::Sandbox box;
    zvtest::ScopedEnv user("ZORVANT_USER_REG",
                           box.path(QStringLiteral("cfg/zorvant/user.reg")).toUtf8());
    EXPECT_FALSE(ZvRegKey::open(RegRoot::CurrentUser, kClient));
    EXPECT_FALSE(ZvRegKey::remove(RegRoot::CurrentUser, kClient));
    EXPECT_FALSE(QFileInfo::exists(zv::registryFilePath(RegRoot::CurrentUser)));

    const ZvRegKey k = ZvRegKey::create(RegRoot::CurrentUser, kClient);
    k.writeString(QStringLiteral("Name"), QStringLiteral("v"));
    const QString file = zv::registryFilePath(RegRoot::CurrentUser);
    EXPECT_EQ(file, box.path(QStringLiteral("cfg/zorvant/user.reg")));
    EXPECT_EQ(fileMode(file), 0600u);
    EXPECT_EQ(fileMode(box.path(QStringLiteral("cfg/zorvant"))) & 0077, 0u);
    EXPECT_TRUE(ZvRegKey::open(RegRoot::CurrentUser, QStringLiteral("software\\zorvant")));
    EXPECT_FALSE(ZvRegKey::open(RegRoot::LocalMachine, kClient)); // the other hive
}

TEST(Registry, HiveFilesFollowTheEnvironment) {
    zvtest::Sandbox box;
    {
        zvtest::ScopedEnv noOverride("ZORVANT_USER_REG", QByteArray());
        EXPECT_EQ(zv::registryFilePath(RegRoot::UserClasses),
                  box.path(QStringLiteral("config/zorvant/user.reg")));
        zvtest::ScopedEnv noConfig("XDG_CONFIG_HOME", QByteArray());
        EXPECT_EQ(zv::registryFilePath(RegRoot::CurrentUser),
                  box.path(QStringLiteral("home/.config/zorvant/user.reg")));
    }
    zvtest::ScopedEnv noMachine("ZORVANT_MACHINE_REG", QByteArray());
    EXPECT_EQ(zv::registryFilePath(RegRoot::ClassesRoot),
              QStringLiteral("/etc/zorvant/machine.reg"));
}

TEST(Registry, TypedValuesRoundTripThroughTheFile) {
    zvtest::Sandbox box;
    const ZvRegKey k = ZvRegKey::create(RegRoot::LocalMachine, kClient);
    k.writeString(QStringLiteral("Text"), QStringLiteral("C:\\a \"b\"\nZ\u00fcrich"));
    k.setValue(QStringLiteral("Expand"), RegValue::expandString(QStringLiteral("%HOME%/x")));
    k.writeDWord(QStringLiteral("Port"), 28203);
    k.writeBinary(QStringLiteral("Blob"), QByteArray("\x00\x01\xff", 3));
    k.writeString(QString(), QStringLiteral("default"));

    const auto again =
        ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("software\\ZORVANT\\popup client"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->readString(QStringLiteral("TEXT")),
              QStringLiteral("C:\\a \"b\"\nZ\u00fcrich"));
    EXPECT_EQ(again->readString(QStringLiteral("expand")), QStringLiteral("%HOME%/x"));
    EXPECT_EQ(again->value(QStringLiteral("Expand"))->type, zv::RegType::ExpandString);
    EXPECT_EQ(again->readDWord(QStringLiteral("port")), 28203u);
    EXPECT_EQ(again->readBinary(QStringLiteral("Blob")), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(again->readString(QString()), QStringLiteral("default"));
    // A value of another type reads as absent.
    EXPECT_FALSE(again->readDWord(QStringLiteral("Text")));
    EXPECT_FALSE(again->readString(QStringLiteral("Port")));
    EXPECT_FALSE(again->readBinary(QStringLiteral("Expand")));
    EXPECT_FALSE(again->readString(QStringLiteral("Missing")));
    EXPECT_EQ(again->valueNames(),
              (QStringList{QStringLiteral("Text"), QStringLiteral("Expand"), QStringLiteral("Port"),
                           QStringLiteral("Blob"), QString()}));
    EXPECT_TRUE(again->deleteValue(QStringLiteral("PORT")));
    EXPECT_FALSE(again->deleteValue(QStringLiteral("Port")));
    EXPECT_FALSE(k.readDWord(QStringLiteral("Port")));
}

TEST(Registry, SubkeysEnumerateSortedAndDeleteWithTheirChildren) {
    zvtest::Sandbox box;
    const ZvRegKey k = ZvRegKey::create(RegRoot::CurrentUser, kClient);
    for (const char *name : {"shortcuts", "Log", "server", "LocalPrinters"})
        k.createSubKey(QString::fromLatin1(name));
    k.createSubKey(QStringLiteral("Log\\Deep\\Deeper")).writeDWord(QStringLiteral("Level"), 3);
    EXPECT_EQ(k.subKeyNames(),
              (QStringList{QStringLiteral("LocalPrinters"), QStringLiteral("Log"),
                           QStringLiteral("server"), QStringLiteral("shortcuts")}));
    EXPECT_TRUE(k.openSubKey(QStringLiteral("LOG\\deep")));
    EXPECT_TRUE(k.removeSubKey(QStringLiteral("log")));
    EXPECT_FALSE(k.removeSubKey(QStringLiteral("Log")));
    EXPECT_FALSE(k.openSubKey(QStringLiteral("Log\\Deep\\Deeper")));
    EXPECT_EQ(k.subKeyNames().size(), 3);

    // A handle on a deleted key reads nothing and writes create the key again.
    const ZvRegKey gone = k.createSubKey(QStringLiteral("Gone"));
    ASSERT_TRUE(ZvRegKey::remove(RegRoot::CurrentUser, kClient + QStringLiteral("\\Gone")));
    EXPECT_TRUE(gone.valueNames().isEmpty());
    gone.writeDWord(QStringLiteral("Back"), 1);
    EXPECT_EQ(k.openSubKey(QStringLiteral("gone"))->readDWord(QStringLiteral("back")), 1u);
}

TEST(Registry, ClassesLiveInTheirHivesUnderSoftwareClasses) {
    zvtest::Sandbox box;
    ZvRegKey::create(RegRoot::ClassesRoot, QStringLiteral("Zv.Task\\CLSID"))
        .writeString(QString(), QStringLiteral("{1}"));
    ZvRegKey::create(RegRoot::UserClasses, QStringLiteral("Zv.Mine"))
        .writeDWord(QStringLiteral("X"), 1);
    EXPECT_EQ(
        ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Classes\\Zv.Task\\CLSID"))
            ->readString(QString()),
        QStringLiteral("{1}"));
    EXPECT_TRUE(ZvRegKey::open(RegRoot::CurrentUser, QStringLiteral("Software\\Classes\\Zv.Mine")));
    EXPECT_FALSE(ZvRegKey::open(RegRoot::ClassesRoot, QStringLiteral("Zv.Mine")));
    EXPECT_TRUE(
        box.readFile(QStringLiteral("machine.reg"))
            .contains("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Zv.Task\\CLSID]\n@=\"{1}\"\n"));
}

TEST(Registry, AFileThatDoesNotParseIsNeverOverwritten) {
    zvtest::Sandbox box;
    const QByteArray broken = "Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zorvant]\n"
                              "\"Good\"=\"kept\"\n"
                              "\"Bad\"=dword:xyz\n";
    box.writeFile(QStringLiteral("machine.reg"), broken);
    const QString where = QStringLiteral("Registry file %1, line 5: ").arg(box.machineRegPath());
    try {
        ZvRegKey::create(RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant"))
            .writeString(QStringLiteral("New"), QStringLiteral("x"));
        FAIL() << "write succeeded";
    } catch (const zv::ZvRegistryError &e) {
        EXPECT_TRUE(e.message().startsWith(where)) << e.what();
    }
    EXPECT_THROW(ZvRegKey::remove(RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant")),
                 zv::ZvRegistryError);
    EXPECT_THROW(ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("SOFTWARE")),
                 zv::ZvRegistryError);
    EXPECT_EQ(box.readFile(QStringLiteral("machine.reg")), broken);
}

TEST(Registry, NamesThatCannotBeStoredAreRefused) {
    zvtest::Sandbox box;
    const ZvRegKey k = ZvRegKey::create(RegRoot::CurrentUser, QStringLiteral("S"));
    EXPECT_THROW(k.writeDWord(QStringLiteral("two\nlines"), 1), zv::ZvRegistryError);
    EXPECT_THROW(k.createSubKey(QStringLiteral("a\rb")), zv::ZvRegistryError);
    EXPECT_TRUE(k.valueNames().isEmpty());
}

// Several processes write to one hive at once; the lock must keep every write.
TEST(Registry, ConcurrentWritersFromSeveralProcessesLoseNothing) {
    zvtest::Sandbox box;
    constexpr int kProcesses = 4;
    constexpr int kWrites = 25;
    ZvRegKey::create(RegRoot::CurrentUser, QStringLiteral("Shared"))
        .writeDWord(QStringLiteral("seed"), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int rc = 0;
            try {
                for (int i = 0; i < kWrites; ++i) {
                    ZvRegKey::create(RegRoot::CurrentUser, QStringLiteral("Shared"))
                        .writeDWord(QStringLiteral("p%1.%2").arg(p).arg(i), quint32(p * 1000 + i));
                    ZvRegKey::create(RegRoot::CurrentUser,
                                     QStringLiteral("Own%1\\K%2").arg(p).arg(i));
                }
            } catch (...) {
                rc = 3;
            }
            ::_exit(rc);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const auto shared = ZvRegKey::open(RegRoot::CurrentUser, QStringLiteral("Shared"));
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->valueNames().size(), kProcesses * kWrites + 1);
    for (int p = 0; p < kProcesses; ++p) {
        EXPECT_EQ(ZvRegKey::open(RegRoot::CurrentUser, QStringLiteral("Own%1").arg(p))
                      ->subKeyNames()
                      .size(),
                  kWrites);
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(shared->readDWord(QStringLiteral("p%1.%2").arg(p).arg(i)),
                      quint32(p * 1000 + i));
    }
    EXPECT_EQ(fileMode(box.userRegPath()), 0600u);
}

} // namespace

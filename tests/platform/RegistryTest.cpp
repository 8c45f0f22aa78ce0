// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <thread>

#include <fcntl.h>
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

// Hive files dated well in the past, so reads keep their parse; same-size contents make
// the file's stamp differ only in the part each step changes.
const QByteArray kHeader = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\S]\n";
constexpr time_t kOldTime = 1'600'000'000;

void setMTime(const QString &file, time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
}

// As the registry writes: a new file renamed over the old one.
void replaceHive(const QString &file, const QByteArray &content, time_t when) {
    const QString tmp = file + QStringLiteral(".new");
    QFile f(tmp);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(content), content.size());
    f.close();
    setMTime(tmp, when);
    ASSERT_EQ(::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(file).constData()), 0);
}

void rewriteInPlace(const QString &file, const QByteArray &content, time_t when) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
    f.close();
    setMTime(file, when);
}

std::optional<QString> readS(const QString &name) {
    const auto k = ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("S"));
    return k ? k->readString(name) : std::nullopt;
}

TEST(Registry, ReadsSeeEveryChangeOfTheFile) {
    zvtest::Sandbox box;
    const QString file = box.machineRegPath();
    replaceHive(file, kHeader + "\"v\"=\"one\"\n", kOldTime);
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("one"));

    // Same size and date, new inode.
    replaceHive(file, kHeader + "\"v\"=\"two\"\n", kOldTime);
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("two"));
    // Same inode and size, another date.
    rewriteInPlace(file, kHeader + "\"v\"=\"tri\"\n", kOldTime + 1);
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("tri"));
    // Same inode and date, another size.
    rewriteInPlace(file, kHeader + "\"v\"=\"four\"\n", kOldTime + 1);
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("four"));

    // Another process writing through the registry.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int rc = 0;
        try {
            ZvRegKey::create(RegRoot::LocalMachine, QStringLiteral("S"))
                .writeString(QStringLiteral("v"), QStringLiteral("from child"));
        } catch (...) {
            rc = 3;
        }
        ::_exit(rc);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("from child"));

    ASSERT_TRUE(QFile::remove(file));
    EXPECT_FALSE(ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("S")));
}

TEST(Registry, AFileThatDoesNotParseFailsEveryReadUntilRepaired) {
    zvtest::Sandbox box;
    const QString file = box.machineRegPath();
    replaceHive(file, kHeader + "\"v\"=dword:00000001\n", kOldTime);
    EXPECT_EQ(
        ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("S"))->readDWord(QStringLiteral("v")),
        1u);
    const auto key = ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("S"));
    ASSERT_TRUE(key);

    replaceHive(file, kHeader + "\"v\"=dword:0000000x\n", kOldTime);
    for (int i = 0; i < 2; ++i) {
        EXPECT_THROW(key->readDWord(QStringLiteral("v")), zv::ZvRegistryError);
        EXPECT_THROW(ZvRegKey::open(RegRoot::LocalMachine, QStringLiteral("S")),
                     zv::ZvRegistryError);
    }
    replaceHive(file, kHeader + "\"v\"=dword:00000002\n", kOldTime);
    EXPECT_EQ(key->readDWord(QStringLiteral("v")), 2u);
}

// Threads reading one hive while it is rewritten read either version, never anything else.
TEST(Registry, ThreadsReadWhileTheHiveChanges) {
    zvtest::Sandbox box;
    const QString file = box.machineRegPath();
    replaceHive(file, kHeader + "\"v\"=\"aaa\"\n", kOldTime);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                const auto v = readS(QStringLiteral("v"));
                if (v != QStringLiteral("aaa") && v != QStringLiteral("bbb"))
                    ++bad;
            }
        });
    for (int i = 0; i < 200; ++i)
        replaceHive(file, kHeader + (i % 2 ? "\"v\"=\"aaa\"\n" : "\"v\"=\"bbb\"\n"), kOldTime + i);
    stop = true;
    for (std::thread &t : readers)
        t.join();
    EXPECT_EQ(bad, 0);
    replaceHive(file, kHeader + "\"v\"=\"ccc\"\n", kOldTime);
    EXPECT_EQ(readS(QStringLiteral("v")), QStringLiteral("ccc"));
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

TEST(Registry, RewriteReplacesAKeyInOneWrite) {
    zvtest::Sandbox box;
    const QString shortcuts = kClient + QStringLiteral("\\shortcuts");
    const ZvRegKey old = ZvRegKey::create(RegRoot::CurrentUser, shortcuts);
    old.writeString(QStringLiteral("Gone"), QStringLiteral("x"));
    old.createSubKey(QStringLiteral("Sub")).writeDWord(QStringLiteral("D"), 1);
    ZvRegKey::create(RegRoot::CurrentUser, kClient).writeString(QStringLiteral("Keep"), "k");

    const ZvRegKey key = ZvRegKey::rewrite(RegRoot::CurrentUser, shortcuts,
                                           {{QStringLiteral("B"), RegValue::string("2")},
                                            {QStringLiteral("a"), RegValue::string("1")},
                                            {QStringLiteral("A"), RegValue::string("3")}});
    // Exactly the new values in order, a later one of the same name winning; siblings stay.
    EXPECT_EQ(key.valueNames(), QStringList({QStringLiteral("B"), QStringLiteral("a")}));
    EXPECT_EQ(key.readString(QStringLiteral("a")), QStringLiteral("3"));
    EXPECT_TRUE(key.subKeyNames().isEmpty());
    EXPECT_EQ(ZvRegKey::open(RegRoot::CurrentUser, kClient)->readString(QStringLiteral("Keep")),
              QStringLiteral("k"));

    // A name the hive cannot hold fails before anything is written.
    const QByteArray before = box.readFile(QStringLiteral("user.reg"));
    EXPECT_THROW(ZvRegKey::rewrite(RegRoot::CurrentUser, shortcuts,
                                   {{QStringLiteral("ok"), RegValue::string("1")},
                                    {QStringLiteral("two\nlines"), RegValue::string("2")}}),
                 zv::ZvRegistryError);
    EXPECT_EQ(box.readFile(QStringLiteral("user.reg")), before);
}

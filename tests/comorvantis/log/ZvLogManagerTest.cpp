// SPDX-License-Identifier: MIT
#include "ZvLogManager.h"
#include "TestSupport.h"
#include "ZvComError.h"
#include "ZvFileLog.h"
#include "ZvMisc.h"
#include "ZvScopeTrace.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kRoot = QStringLiteral("SOFTWARE\\ZorvantSystems\\Core\\ComOrvantis");

class ServiceLog : public ::testing::Test {
protected:
    void SetUp() override { ZvLogManager::instance().reset(); }
    void TearDown() override { ZvLogManager::instance().reset(); }

    zv::ZvRegKey logKey() const {
        return zv::ZvRegKey::create(zv::RegRoot::LocalMachine, kRoot + QStringLiteral("\\Log"));
    }
    // A log key that sends everything to a file in the sandbox.
    QString useLogFile(quint32 options = 0, quint32 filters = 3, quint32 level = 0) {
        const QString file = sandbox.path(QStringLiteral("service.log"));
        const zv::ZvRegKey key = logKey();
        key.writeString(QStringLiteral("Filename"), file);
        key.writeDWord(QStringLiteral("Options"), options);
        key.writeDWord(QStringLiteral("Filters"), filters);
        key.writeDWord(QStringLiteral("Level"), level);
        ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
        return file;
    }
    QString fileText() const {
        return QString::fromUtf8(sandbox.readFile(QStringLiteral("service.log")));
    }

    zvtest::Sandbox sandbox;
};

} // namespace

TEST_F(ServiceLog, MissingKeyIsCreatedWithDefaultsAndNoSink) {
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
    const auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, kRoot + QStringLiteral("\\Log"));
    ASSERT_TRUE(key);
    const std::pair<const char *, quint32> numbers[] = {
        {"Enabled", 1},  {"Filters", 3},          {"Categories", 1},     {"Types", 15},
        {"Level", 0},    {"Options", 63},         {"MaxDataSize", 2048}, {"MaxFileSize", 2048},
        {"TraceLog", 0}, {"OnlyErrorsToFile", 0},
    };
    for (const auto &[name, value] : numbers)
        EXPECT_EQ(key->readDWord(QLatin1String(name)), value) << name;
    EXPECT_EQ(key->readString(QStringLiteral("SourceName")), QString());
    EXPECT_EQ(key->readString(QStringLiteral("Filename")), QString());
    EXPECT_TRUE(ZvLogManager::instance().sinks().empty());
}

TEST_F(ServiceLog, ReadsValuesOfTheRightTypeOnly) {
    const zv::ZvRegKey key = logKey();
    key.writeDWord(QStringLiteral("Level"), 4);
    key.writeString(QStringLiteral("Types"), QStringLiteral("1"));              // wrong type
    key.writeBinary(QStringLiteral("Categories"), QByteArray("\x02\0\0\0", 4)); // wrong type
    key.setValue(QStringLiteral("SourceName"), zv::RegValue::expandString(QStringLiteral("%X%")));
    key.writeDWord(QStringLiteral("MaxFileSize"), 7);
    key.writeString(QStringLiteral("File Name"),
                    QStringLiteral("  ") + sandbox.path(QStringLiteral("old.log")) + "\t");
    key.writeDWord(QStringLiteral("TraceLog"), 5);
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);

    const ZvLogSettings s = ZvLogManager::instance().settings();
    EXPECT_EQ(s.level, 4u);
    EXPECT_EQ(s.types, 15u);
    EXPECT_EQ(s.categories, 1u);
    EXPECT_EQ(s.sourceName, QStringLiteral("%X%"));
    EXPECT_EQ(s.fileName, sandbox.path(QStringLiteral("old.log")));
    EXPECT_TRUE(s.traceLog);
    const auto sinks = ZvLogManager::instance().sinks();
    ASSERT_EQ(sinks.size(), 2u);
    EXPECT_EQ(sinks[0]->name(), sandbox.path(QStringLiteral("old.log")));
    EXPECT_EQ(static_cast<ZvFileLog &>(*sinks[0]).maxFileSizeMiB(), 7u);
    EXPECT_EQ(sinks[1]->name(), QStringLiteral("Trace"));

    // "Filename" wins over the old spelling; TraceLog 0 removes the debugger sink.
    key.writeString(QStringLiteral("Filename"), sandbox.path(QStringLiteral("new.log")));
    key.writeDWord(QStringLiteral("TraceLog"), 0);
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
    const auto after = ZvLogManager::instance().sinks();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0]->name(), sandbox.path(QStringLiteral("new.log")));
}

TEST_F(ServiceLog, FileSinkIsReplacedOnlyWhenPathOrLimitChange) {
    ZvLogManager &log = ZvLogManager::instance();
    log.installFileLog(sandbox.path(QStringLiteral("A.log")));
    const auto first = log.sinks().at(0);
    log.installFileLog(sandbox.path(QStringLiteral("a.LOG"))
                           .replace(QStringLiteral("a.LOG"), QStringLiteral("a.log")));
    log.installFileLog(sandbox.path(QStringLiteral("A.LOG")));
    EXPECT_EQ(log.sinks().at(0), first);
    log.installFileLog(sandbox.path(QStringLiteral("B.log")));
    ASSERT_EQ(log.sinks().size(), 1u);
    EXPECT_NE(log.sinks().at(0), first);
}

TEST_F(ServiceLog, PrefixFieldsFollowTheOptions) {
    ZvLogSettings s;
    s.sourceName = QStringLiteral("ComOrvantis");
    const ZvLogLineContext context{QDateTime(QDate(2018, 8, 7), QTime(14, 3, 5, 120)), 0x5A4,
                                   0x1F0};
    struct Case {
        const char *name;
        quint32 options;
        ZvLogKind kind;
        quint32 category;
        int level;
        QString source;
        QString message;
        QString expected;
    } cases[] = {
        {"all fields", 63, ZvLogKind::Debug, 1, 2, s.sourceName, QStringLiteral("Loading task 'X'"),
         QStringLiteral("[2018/08/07 14:03:05.120 P5A4 T1F0 d+ ComOrvantis] Loading task 'X'\n")},
        {"no prefix", 0, ZvLogKind::Error, 1, 0, s.sourceName, QStringLiteral("text"),
         QStringLiteral("text\n")},
        {"line feed kept", 0, ZvLogKind::Error, 1, 0, s.sourceName, QStringLiteral("text\n"),
         QStringLiteral("text\n")},
        {"library category", 8 | 16, ZvLogKind::Error, 0x10000, 0, s.sourceName,
         QStringLiteral("m"), QStringLiteral("[CZv e] m\n")},
        {"com library category", 8, ZvLogKind::Warning, 0x20000, 0, s.sourceName,
         QStringLiteral("m"), QStringLiteral("[CZvCom] m\n")},
        {"other category", 8 | 16, ZvLogKind::Information, 0x2, 0, s.sourceName,
         QStringLiteral("m"), QStringLiteral("[C0002 i] m\n")},
        {"wide category", 8, ZvLogKind::Information, 0x123456, 0, s.sourceName, QStringLiteral("m"),
         QStringLiteral("[C123456] m\n")},
        {"category with bit 0 shows none", 8 | 16, ZvLogKind::Warning, 0x10001, 0, s.sourceName,
         QStringLiteral("m"), QStringLiteral("[w] m\n")},
        {"debug level 1", 16, ZvLogKind::Debug, 1, 1, s.sourceName, QStringLiteral("m"),
         QStringLiteral("[d] m\n")},
        {"debug level 4", 16, ZvLogKind::Debug, 1, 4, s.sourceName, QStringLiteral("m"),
         QStringLiteral("[d+++] m\n")},
        {"debug level 9", 16, ZvLogKind::Debug, 1, 9, s.sourceName, QStringLiteral("m"),
         QStringLiteral("[d++++] m\n")},
        {"unknown kind", 16, ZvLogKind(3), 1, 0, s.sourceName, QStringLiteral("m"),
         QStringLiteral("[?] m\n")},
        {"empty source name", 32 | 2, ZvLogKind::Error, 1, 0, QString(), QStringLiteral("m"),
         QStringLiteral("[P5A4] m\n")},
        {"empty brackets", 32, ZvLogKind::Error, 1, 0, QString(), QStringLiteral("m"),
         QStringLiteral("[] m\n")},
    };
    for (const Case &c : cases) {
        ZvLogSettings settings = s;
        settings.options = c.options;
        settings.sourceName = c.source;
        EXPECT_EQ(
            ZvLogManager::formatLine(settings, context, c.kind, c.category, c.level, c.message),
            c.expected)
            << c.name;
    }
}

TEST_F(ServiceLog, FiltersOnCategoryKindAndLevel) {
    ZvLogManager &log = ZvLogManager::instance();
    struct Case {
        const char *name;
        quint32 filters, categories, types, level;
        bool enabled;
        ZvLogKind kind;
        quint32 category;
        int entryLevel;
        bool passes;
    } cases[] = {
        {"defaults pass service errors", 3, 1, 15, 0, true, ZvLogKind::Error, 1, 0, true},
        {"defaults drop library entries", 3, 1, 15, 0, true, ZvLogKind::Error, 0x10000, 0, false},
        {"level 2 dropped at level 0", 3, 1, 15, 0, true, ZvLogKind::Debug, 1, 2, false},
        {"level 0 passes at level 0", 3, 1, 15, 0, true, ZvLogKind::Debug, 1, 0, true},
        {"level 2 passes at level 2", 3, 1, 15, 2, true, ZvLogKind::Debug, 1, 2, true},
        {"kind bit cleared", 3, 1, 15 & ~8u, 9, true, ZvLogKind::Debug, 1, 0, false},
        {"warnings filtered out", 3, 1, 1, 0, true, ZvLogKind::Warning, 1, 0, false},
        {"filters 0 pass everything", 0, 0, 0, 0, true, ZvLogKind::Debug, 0x10000, 5, true},
        {"category filter only", 1, 1, 0, 0, true, ZvLogKind::Debug, 1, 5, true},
        {"kind filter only", 2, 0, 8, 5, true, ZvLogKind::Debug, 0x10000, 5, true},
        {"disabled", 0, 1, 15, 0, false, ZvLogKind::Error, 1, 0, false},
    };
    for (const Case &c : cases) {
        log.reset();
        const zv::ZvRegKey key = logKey();
        key.writeDWord(QStringLiteral("Filters"), c.filters);
        key.writeDWord(QStringLiteral("Categories"), c.categories);
        key.writeDWord(QStringLiteral("Types"), c.types);
        key.writeDWord(QStringLiteral("Level"), c.level);
        key.writeDWord(QStringLiteral("Enabled"), c.enabled ? 1 : 0);
        log.readSettings(zv::RegRoot::LocalMachine, kRoot);
        EXPECT_EQ(log.passes(c.kind, c.category, c.entryLevel), c.passes) << c.name;
    }
}

TEST_F(ServiceLog, FileLinesEndInCrLfAndEntryPointsUseTheirKinds) {
    useLogFile(16, 3, 1);
    ZvLogDebug(1, QStringLiteral("debug %d"), {1});
    ZvLogDebug(2, QStringLiteral("too deep"));
    ZvLogDebug(0x10000u, 0, QStringLiteral("library debug"));
    ZvLogError(QStringLiteral("error %s"), {QStringLiteral("two\nlines")});
    ZvLogError(0x10000u, QStringLiteral("library error"));
    ZvLogWarning(QStringLiteral("warning"));
    EXPECT_EQ(fileText(),
              QStringLiteral("[d] debug 1\r\n[e] error two\r\nlines\r\n[w] warning\r\n"));
}

TEST_F(ServiceLog, OnlyErrorsReachTheFileWhenAsked) {
    logKey().writeDWord(QStringLiteral("OnlyErrorsToFile"), 1);
    useLogFile();
    ZvLogWarning(QStringLiteral("warning"));
    ZvLogDebug(0, QStringLiteral("debug"));
    ZvLogError(QStringLiteral("error"));
    EXPECT_EQ(fileText(), QStringLiteral("error\r\n"));
}

TEST_F(ServiceLog, FileRollsOverAtTheMaximumSizeKeepingOneBackup) {
    logKey().writeDWord(QStringLiteral("MaxFileSize"), 1);
    const QString file = useLogFile();
    const QString line(1023, QLatin1Char('x')); // 1025 bytes with CR LF
    // A stale, read-only backup is replaced.
    sandbox.writeFile(QStringLiteral("service.log.bak"), "stale");
    ::chmod(QFile::encodeName(file + ".bak").constData(), 0444);
    int written = 0;
    while (QFile::exists(file) || written == 0) {
        ZvLogError(line);
        ++written;
        ASSERT_LT(written, 2000);
        if (QFileInfo(file + ".bak").size() > 5)
            break;
    }
    // 1023 lines make 1,048,575 bytes; the 1024th reaches 1 MiB and rolls over.
    EXPECT_EQ(written, 1024);
    EXPECT_EQ(QFileInfo(file + ".bak").size(), 1024 * 1025);
    EXPECT_FALSE(QFile::exists(file));
    ZvLogError(QStringLiteral("fresh"));
    EXPECT_EQ(fileText(), QStringLiteral("fresh\r\n"));
    for (int i = 0; i < 1024; ++i)
        ZvLogError(line);
    EXPECT_EQ(QFileInfo(file + ".bak").size(), 7 + 1023 * 1025);
    EXPECT_FALSE(QFile::exists(file + ".bak.bak"));
}

TEST_F(ServiceLog, WriteStartingBeyondTwoGiBRollsOverWithoutLimit) {
    logKey().writeDWord(QStringLiteral("MaxFileSize"), 0);
    const QString file = useLogFile();
    const int fd = ::open(QFile::encodeName(file).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, ZvFileLog::HardLimit - 1), 0); // sparse
    ::close(fd);
    ZvLogError(QStringLiteral("just below"));
    EXPECT_TRUE(QFile::exists(file)) << "a write that starts below 2 GiB does not roll over";
    ZvLogError(QStringLiteral("beyond"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(QFileInfo(file + ".bak").size(), ZvFileLog::HardLimit - 1 + 12 + 8);
}

TEST_F(ServiceLog, UnopenableFileDropsEntriesQuietly) {
    logKey().writeString(QStringLiteral("Filename"),
                         sandbox.path(QStringLiteral("no/such/dir.log")));
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
    ZvLogError(QStringLiteral("lost"));
    EXPECT_FALSE(QFile::exists(sandbox.path(QStringLiteral("no/such/dir.log"))));
}

TEST_F(ServiceLog, LinesFromManyThreadsStayWhole) {
    useLogFile(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                ZvLogError(QStringLiteral("thread %d line %d %s"),
                           {t, i, QString(100, QLatin1Char('a' + t))});
        });
    for (auto &th : threads)
        th.join();
    const QStringList lines = fileText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8 * 200);
    static const QRegularExpression shape(
        QStringLiteral("^\\[T[0-9A-F]{3,}\\] thread (\\d) line \\d+ ([a-h])\\2{99}$"));
    for (const QString &l : lines) {
        const auto m = shape.match(l);
        ASSERT_TRUE(m.hasMatch()) << l.toStdString();
        EXPECT_EQ(m.captured(2).at(0), QLatin1Char('a' + m.captured(1).toInt()));
    }
}

TEST_F(ServiceLog, TraceSinkSendsEachLineToDebugOutput) {
    logKey().writeDWord(QStringLiteral("TraceLog"), 1);
    logKey().writeDWord(QStringLiteral("Options"), 0);
    ZvLogManager::instance().readSettings(zv::RegRoot::LocalMachine, kRoot);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int savedStderr = ::dup(STDERR_FILENO);
    ::dup2(pipeFds[1], STDERR_FILENO);
    ZvLogError(QStringLiteral("first\nsecond"));
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(pipeFds[1]);
    char buffer[256] = {};
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    EXPECT_EQ(QByteArray(buffer, int(qMax<ssize_t>(n, 0))), QByteArray("first\nsecond\n"));
}

TEST_F(ServiceLog, ScopeTraceAndExceptionReporters) {
    useLogFile(16, 3, 0);
    {
        const ZvScopeTrace trace(QStringLiteral("CSample::Method"), 0);
        zv::SetErrorInfo(zv::ZvErrorInfo{QStringLiteral("from the task"), QStringLiteral("T")});
        try {
            ZvCheck(zv::E_FAIL);
        } catch (const ZvComError &e) {
            EXPECT_EQ(trace.reportComError(e), zv::E_FAIL);
        }
        const auto passedOn = zv::GetErrorInfo();
        ASSERT_TRUE(passedOn);
        EXPECT_EQ(passedOn->description, QStringLiteral("from the task"));

        trace.reportException(QString());
        const auto general = zv::GetErrorInfo();
        ASSERT_TRUE(general);
        EXPECT_EQ(general->description, QStringLiteral("A general exception occurred."));
        trace.reportException(QStringLiteral("disk full"));
    }
    { const ZvScopeTrace deep(QStringLiteral("CSample::Deep"), 2); }
    EXPECT_EQ(fileText(),
              QStringLiteral("[d] -> CSample::Method\r\n"
                             "[e] [CSample::Method] COM exception: Unspecified error\r\n"
                             "[e] [CSample::Method] Exception: A general exception "
                             "occurred.\r\n"
                             "[e] [CSample::Method] Exception: disk full\r\n"
                             "[d] <- CSample::Method\r\n"));
}

TEST(ServiceLogMessages, ComErrorTextsAndSystemMessages) {
    EXPECT_EQ(ZvComError::errorText(zv::E_NOINTERFACE),
              QStringLiteral("No such interface supported"));
    EXPECT_EQ(ZvComError::errorText(zv::hresult(0x80040201)), QStringLiteral("IDispatch error #1"));
    EXPECT_EQ(ZvComError::errorText(zv::hresult(0x8004FFFF)),
              QStringLiteral("IDispatch error #65023"));
    EXPECT_EQ(ZvComError::errorText(zv::hresult(0x80040200)),
              QStringLiteral("Unknown error 0x80040200"));
    EXPECT_EQ(ZvComError::errorText(zv::hresult(0x80050000)),
              QStringLiteral("Unknown error 0x80050000"));
    EXPECT_EQ(ZvMisc::GetSystemMessage(ENOENT), QStringLiteral("No such file or directory"));
    EXPECT_EQ(ZvMisc::GetSystemMessage(123456), QString());
    EXPECT_EQ(ZvMisc::doublePercent(QStringLiteral("50% of %s")), QStringLiteral("50%% of %%s"));
}

TEST_F(ServiceLog, SystemMessageWithPercentIsSafeAsFormat) {
    useLogFile();
    const QString prefix = QStringLiteral("[CComOrvantisModule::InitializeSecurity] ::Call: ");
    ZvLogError(prefix + ZvMisc::doublePercent(QStringLiteral("quota 100% used by %s")));
    EXPECT_EQ(fileText(), prefix + QStringLiteral("quota 100% used by %s\r\n"));
}

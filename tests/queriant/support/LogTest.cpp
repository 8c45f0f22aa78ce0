// SPDX-License-Identifier: MIT
#include "Log.h"
#include "FileLog.h"
#include "TraceLog.h"

#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Keeps what the holder hands it.
class CaptureLog : public TZvLog {
public:
    explicit CaptureLog(TClassData &holder, bool escape = true)
        : TZvLog(QStringLiteral("Capture"), holder) {
        m_escape = escape;
    }
    ~CaptureLog() override { detach(); }
    void write(const QByteArray &line) override { lines.append(line); }
    QList<QByteArray> lines;
};

class ThrowingLog : public TZvLog {
public:
    explicit ThrowingLog(TClassData &holder) : TZvLog(QStringLiteral("Throwing"), holder) {}
    ~ThrowingLog() override { detach(); }
    void write(const QByteArray &) override { throw std::runtime_error("sink failure"); }
};

QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

const QString clientKey = QStringLiteral("SOFTWARE\\Zorvant\\Popup Client");

template <typename... Args>
void entry(TClassData &holder, quint32 category, quint32 kind, quint32 level, const char *format,
           const Args &...args) {
    const std::array<TLogArg, sizeof...(Args)> list{TLogArg(args)...};
    holder.entry(category, kind, level, format, list);
}

TEST(LogHolder, FiltersByCategoryKindAndLevel) {
    struct Case {
        const char *name;
        quint32 filters, categories, types, level;
        quint32 category, kind, entryLevel;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"defaults pass general information", 3, 1, 7, 0, 1, 4, 0, true},
        {"defaults drop the data-service category", 3, 1, 7, 0, 0x20000, 4, 0, false},
        {"category filter off", 2, 1, 7, 0, 0x20000, 4, 0, true},
        {"category sharing one bit", 3, 0x20001, 7, 0, 0x20000, 1, 0, true},
        {"debug kind dropped by types 7", 3, 1, 7, 0, 1, 8, 0, false},
        {"kind filter off", 1, 1, 7, 0, 1, 8, 0, true},
        {"combined kind shares a bit", 3, 1, 1, 0, 1, 3, 0, true},
        {"level above Level", 0, 0, 0, 2, 1, 4, 3, false},
        {"level equal to Level", 0, 0, 0, 2, 1, 4, 2, true},
        {"no filters, level 0", 0, 0, 0, 0, 0, 0, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TClassData holder;
        holder.setOptions(0);
        holder.setFilters(c.filters);
        holder.setCategories(c.categories);
        holder.setTypes(c.types);
        holder.setLevel(c.level);
        CaptureLog capture(holder);
        entry(holder, c.category, c.kind, c.entryLevel, "message %d", 1);
        EXPECT_EQ(capture.lines.size(), c.passes ? 1 : 0);
        EXPECT_EQ(holder.passes(c.category, c.kind, c.entryLevel), c.passes);
    }
}

TEST(LogHolder, DeliversPrefixedEscapedLinesToEverySinkInOrder) {
    TClassData holder;
    holder.setOptions(0x38);
    holder.setSourceName(QStringLiteral("Queriant.exe"));
    ThrowingLog throwing(holder);
    CaptureLog escaped(holder);
    CaptureLog raw(holder, false);
    EXPECT_EQ(holder.sinkCount(), 3);

    entry(holder, 1, 1, 0, "Bad answer from %S:\n%s", QStringLiteral("café"), QByteArray("x"));
    const QByteArray prefix = "[C00001 e Queriant.exe] ";
    ASSERT_EQ(escaped.lines.size(), 1);
    EXPECT_EQ(escaped.lines[0], prefix + "Bad answer from caf[#233]:[#10]x");
    ASSERT_EQ(raw.lines.size(), 1);
    EXPECT_EQ(raw.lines[0], prefix + "Bad answer from caf\xC3\xA9:\nx");

    // Arguments that do not fit drop the entry without a word.
    entry(holder, 1, 1, 0, "count %d", QStringLiteral("ten"));
    entry(holder, 1, 1, 0, "%s and %s", QStringLiteral("one"));
    EXPECT_EQ(escaped.lines.size(), 1);

    {
        CaptureLog shortLived(holder);
        EXPECT_EQ(holder.sinkCount(), 4);
    }
    EXPECT_EQ(holder.sinkCount(), 3);
}

TEST(LogHolder, DatePrefixUsesTheCurrentTime) {
    TClassData holder;
    holder.setOptions(0x01);
    TLogLocaleInfo info;
    info.dateSeparator = QStringLiteral("-");
    info.timeSeparator = QStringLiteral(".");
    holder.setLocaleInfo(info);
    CaptureLog capture(holder);
    const QDateTime now = QDateTime::currentDateTime();
    entry(holder, 1, 4, 0, "x");
    ASSERT_EQ(capture.lines.size(), 1);
    const QRegularExpression pattern(QStringLiteral(
        "^\\[(\\d\\d)-(\\w\\w\\w)-(\\d\\d) \\d\\d\\.\\d\\d\\.\\d\\d\\.\\d\\d\\d\\] x$"));
    const QRegularExpressionMatch m = pattern.match(QString::fromUtf8(capture.lines[0]));
    ASSERT_TRUE(m.hasMatch()) << capture.lines[0].toStdString();
    EXPECT_EQ(m.captured(1).toInt(), now.date().day());
    EXPECT_EQ(m.captured(2), info.monthAbbreviations[size_t(now.date().month() - 1)]);
    EXPECT_EQ(m.captured(3).toInt(), now.date().year() % 100);
}

TEST(LogHolder, PrefixTextInAndBeyondLatin1) {
    struct Case {
        QString sourceName;
        QString month;
        QString dateSeparator;
        QString timeSeparator;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("Queriant.exe"), QStringLiteral("Mär"), QStringLiteral("."), ":"},
        {QStringLiteral("Klient©"), QStringLiteral("Aug"), QStringLiteral("/"),
         QStringLiteral("·")},
        {QStringLiteral("Клиент"), QStringLiteral("Aug"), QStringLiteral("/"), ":"},
        {QStringLiteral("Queriant.exe"), QStringLiteral("сен"), QStringLiteral("/"), ":"},
        {QStringLiteral("Queriant.exe"), QStringLiteral("8月"), QStringLiteral("年"), ":"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sourceName.toStdString() + " " + c.month.toStdString());
        TClassData holder;
        holder.setOptions(0x21);
        holder.setSourceName(c.sourceName);
        TLogLocaleInfo info;
        info.monthAbbreviations.fill(c.month);
        info.dateSeparator = c.dateSeparator;
        info.timeSeparator = c.timeSeparator;
        holder.setLocaleInfo(info);
        CaptureLog escaped(holder);
        CaptureLog raw(holder, false);
        entry(holder, 1, 4, 0, "%s|%s", "x", QStringLiteral("é"));
        // The line as the UTF-16 formatter and escaping build it, with the time it shows.
        auto pattern = [&](auto encode) {
            const QString esc = QStringLiteral("(\\d\\d)");
            const auto text = [&](const QString &t) {
                return QRegularExpression::escape(QString::fromUtf8(encode(t)));
            };
            return QRegularExpression(
                "^\\[" + esc + text(c.dateSeparator + c.month + c.dateSeparator) + esc + " " + esc +
                text(c.timeSeparator) + esc + text(c.timeSeparator) + esc + text(c.timeSeparator) +
                "\\d\\d\\d" + text(" " + c.sourceName + "] x|é") + "$");
        };
        const auto escape = [](const QString &t) { return LogEscape(t); };
        const auto utf8 = [](const QString &t) { return t.toUtf8(); };
        ASSERT_EQ(escaped.lines.size(), 1);
        ASSERT_EQ(raw.lines.size(), 1);
        EXPECT_TRUE(pattern(escape).match(QString::fromUtf8(escaped.lines[0])).hasMatch())
            << escaped.lines[0].toStdString();
        EXPECT_TRUE(pattern(utf8).match(QString::fromUtf8(raw.lines[0])).hasMatch())
            << raw.lines[0].toStdString();
    }
}

TEST(LogHolder, PrefixFollowsSettingChangesBetweenEntries) {
    TClassData holder;
    holder.setOptions(0x38);
    holder.setSourceName(QStringLiteral("A"));
    CaptureLog capture(holder);
    entry(holder, 1, 4, 0, "1");
    holder.setSourceName(QStringLiteral("B"));
    entry(holder, 1, 4, 0, "2");
    holder.setOptions(0x18);
    entry(holder, 1, 4, 0, "3");
    holder.setSourceName(QStringLiteral("Ā"));
    holder.setOptions(0x20);
    entry(holder, 1, 4, 0, "4");
    const QList<QByteArray> expected = {"[C00001 i A] 1", "[C00001 i B] 2", "[C00001 i] 3",
                                        "[ [#256]] 4"};
    EXPECT_EQ(capture.lines, expected);
}

// Logs to another holder while it takes a line, as a sink may through the process holder.
class LoggingLog : public TZvLog {
public:
    LoggingLog(TClassData &holder, TClassData &other)
        : TZvLog(QStringLiteral("Logging"), holder), m_other(other) {}
    ~LoggingLog() override { detach(); }
    void write(const QByteArray &line) override {
        lines.append(line);
        entry(m_other, 1, 4, 0, "nested %s", QStringLiteral("entr\u00E9e"));
    }
    QList<QByteArray> lines;

private:
    TClassData &m_other;
};

TEST(LogHolder, EntryFromInsideASinkLeavesTheOuterLineWhole) {
    TClassData outer;
    TClassData inner;
    outer.setOptions(0);
    inner.setOptions(0);
    LoggingLog logging(outer, inner);
    CaptureLog escaped(outer);
    CaptureLog raw(outer, false);
    CaptureLog nested(inner);
    entry(outer, 1, 4, 0, "outer %s", QStringLiteral("caf\u00E9"));
    EXPECT_EQ(logging.lines, QList<QByteArray>{"outer caf[#233]"});
    EXPECT_EQ(escaped.lines, QList<QByteArray>{"outer caf[#233]"});
    EXPECT_EQ(raw.lines, QList<QByteArray>{"outer caf\xC3\xA9"});
    EXPECT_EQ(nested.lines, QList<QByteArray>{"nested entr[#233]e"});
}

TEST(LogEntryPoints, UseTheProcessHolder) {
    TClassData &holder = TClassData::instance();
    const quint32 oldOptions = holder.options();
    const quint32 oldCategories = holder.categories();
    holder.setOptions(0x18);
    holder.setCategories(lcGeneral | lcZvCom);
    {
        CaptureLog capture(holder);
        LogInfo("Commandline parameter count: %D", 1);
        LogError("Failed: %S", QStringLiteral("time-out"));
        LogError(lcZvCom, "Socket error %d", 10061);
        LogInfo(lcZvCom, "Connected to %s", "db01");
        LogEntry(lcGeneral, lkWarning, 0, "Warning %.2f", 1.5);
        LogEntry(lcGeneral, lkDebug, 0, "dropped by Types");
        LogInfo("dropped: %d", "not a number");
        const QList<QByteArray> expected = {
            "[C00001 i] Commandline parameter count: 1",
            "[C00001 e] Failed: time-out",
            "[CZvCom e] Socket error 10061",
            "[CZvCom i] Connected to db01",
            "[C00001 w] Warning 1.50",
        };
        EXPECT_EQ(capture.lines, expected);
    }
    holder.setOptions(oldOptions);
    holder.setCategories(oldCategories);
}

class LogSettings : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    TClassData holder;

    zv::ZvRegKey logKey() {
        return zv::ZvRegKey::create(zv::RegRoot::LocalMachine, clientKey + QStringLiteral("\\Log"));
    }
    void clientSetup() {
        holder.setOptions(holder.options() | 0x20);
        holder.setSourceName(QStringLiteral("Queriant.exe"));
    }
};

TEST_F(LogSettings, WithoutLogKeyNothingChanges) {
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine, clientKey);
    clientSetup();
    holder.setMaxFileSize(5);
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    EXPECT_EQ(holder.options(), 0x21u);
    EXPECT_EQ(holder.sourceName(), QStringLiteral("Queriant.exe"));
    EXPECT_EQ(holder.maxFileSize(), 5u);
    EXPECT_EQ(holder.readFileName(zv::RegRoot::LocalMachine, clientKey), QString());

    // No hive at all behaves the same.
    holder.readSettings(zv::RegRoot::CurrentUser, clientKey);
    EXPECT_EQ(holder.sourceName(), QStringLiteral("Queriant.exe"));
}

TEST_F(LogSettings, EmptyLogKeyClearsSourceNameAndSizeOnly) {
    logKey();
    clientSetup();
    holder.setFilters(1);
    holder.setMaxFileSize(5);
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    EXPECT_EQ(holder.sourceName(), QString());
    EXPECT_EQ(holder.maxFileSize(), 0u);
    EXPECT_EQ(holder.filters(), 1u);
    EXPECT_EQ(holder.categories(), 1u);
    EXPECT_EQ(holder.types(), 7u);
    EXPECT_EQ(holder.level(), 0u);
    EXPECT_EQ(holder.options(), 0x21u);
}

TEST_F(LogSettings, ValuesReplaceTheSettings) {
    const zv::ZvRegKey key = logKey();
    key.writeString("SourceName", "Popup");
    key.writeDWord("Filters", 1);
    key.writeDWord("Categories", 0x20001);
    key.writeDWord("Types", 3);
    key.writeDWord("Level", 5);
    key.writeDWord("MaxFileSize", 3);
    key.writeDWord("Options", 0x18);
    key.writeString("Filename", "/var/log/zorvant/client.log");
    clientSetup();
    // A trailing backslash on the key is not doubled.
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey + QLatin1Char('\\'));
    EXPECT_EQ(holder.sourceName(), QStringLiteral("Popup"));
    EXPECT_EQ(holder.filters(), 1u);
    EXPECT_EQ(holder.categories(), 0x20001u);
    EXPECT_EQ(holder.types(), 3u);
    EXPECT_EQ(holder.level(), 5u);
    EXPECT_EQ(holder.maxFileSize(), 3u * 1048576u);
    EXPECT_EQ(holder.options(), 0x18u);
    EXPECT_EQ(holder.readFileName(zv::RegRoot::LocalMachine, clientKey),
              QStringLiteral("/var/log/zorvant/client.log"));

    // The registry's Options decide whether the source name shows.
    CaptureLog capture(holder);
    entry(holder, 1, 4, 0, "hello");
    EXPECT_EQ(capture.lines, QList<QByteArray>{"[C00001 i] hello"});

    key.writeDWord("MaxFileSize", 4096);
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    EXPECT_EQ(holder.maxFileSize(), 4096ull * 1048576u);
}

TEST_F(LogSettings, ValuesOfAnotherType) {
    const zv::ZvRegKey key = logKey();
    key.writeDWord("SourceName", 1);
    key.writeString("Filters", "0");
    key.writeString("Categories", "0");
    key.writeBinary("Types", QByteArray(4, '\0'));
    key.writeString("Level", "9");
    key.writeString("MaxFileSize", "1");
    key.writeString("Options", "0");
    key.writeDWord("Filename", 7);
    clientSetup();
    holder.setMaxFileSize(5);
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    EXPECT_EQ(holder.sourceName(), QStringLiteral("Queriant.exe"));
    EXPECT_EQ(holder.filters(), 3u);
    EXPECT_EQ(holder.categories(), 1u);
    EXPECT_EQ(holder.types(), 7u);
    EXPECT_EQ(holder.level(), 0u);
    EXPECT_EQ(holder.maxFileSize(), 0u);
    EXPECT_EQ(holder.options(), 0x21u);
    EXPECT_EQ(holder.readFileName(zv::RegRoot::LocalMachine, clientKey), QString());
}

TEST_F(LogSettings, UnreadableHiveChangesNothing) {
    sandbox.writeFile("machine.reg", "this is not a registry file\n[broken");
    clientSetup();
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    EXPECT_EQ(holder.sourceName(), QStringLiteral("Queriant.exe"));
    EXPECT_EQ(holder.readFileName(zv::RegRoot::LocalMachine, clientKey), QString());
}

class FileLogTest : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    TClassData holder;
    void SetUp() override { holder.setOptions(0); }
    void log(const char *text) { entry(holder, 1, 4, 0, "%s", text); }
};

TEST_F(FileLogTest, AppendsLinesWithCrLf) {
    const QString path = sandbox.writeFile("client.log", "old\r\n");
    {
        TZvFileLog file(path, false, holder);
        EXPECT_EQ(file.name(), path);
        log("first");
        EXPECT_TRUE(file.isOpen());
        log("caf\xC3\xA9\n");
        log("\xC2\xA9\x7F");
        log("\xE2\x82\xAC\t");
        // Another writer of the same file is not shut out, and our next line goes after its.
        QFile other(path);
        ASSERT_TRUE(other.open(QIODevice::Append));
        other.write("other\r\n");
        other.close();
        log("last");
    }
    EXPECT_EQ(readAll(path), "old\r\nfirst\r\ncaf[#233][#10]\r\n\xC2\xA9[#127]\r\n[#8364][#9]\r\n"
                             "other\r\nlast\r\n");
}

TEST_F(FileLogTest, RestartEmptiesTheFileOnOpen) {
    const QString path = sandbox.writeFile("client.log", "old\r\n");
    {
        TZvFileLog file(path, true, holder);
        log("new");
    }
    EXPECT_EQ(readAll(path), "new\r\n");
}

TEST_F(FileLogTest, RollsOverToDotTwoAtTheSizeLimit) {
    const QString path = sandbox.path("client.log");
    const QString old = path + ".2";
    holder.setMaxFileSize(20);
    TZvFileLog file(path, false, holder);
    log("line one"); // 10 bytes with CR LF
    EXPECT_EQ(readAll(path), "line one\r\n");
    log("line two"); // 20: at the limit
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(readAll(old), "line one\r\nline two\r\n");
    log("line three, long enough"); // alone over the limit
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(readAll(old), "line three, long enough\r\n");
    log("four");
    EXPECT_EQ(readAll(path), "four\r\n");
    EXPECT_EQ(QDir(sandbox.dir()).entryList({"client*"}, QDir::Files).size(), 2);
}

TEST_F(FileLogTest, MaxFileSizeFromTheRegistryIsInMebibytes) {
    zv::ZvRegKey::create(zv::RegRoot::LocalMachine, clientKey + "\\Log")
        .writeDWord("MaxFileSize", 1);
    holder.readSettings(zv::RegRoot::LocalMachine, clientKey);
    const QString path = sandbox.path("client.log");
    TZvFileLog file(path, false, holder);
    const QByteArray line(1022, 'x'); // 1024 bytes a line with CR LF
    for (int i = 0; i < 1023; ++i)
        entry(holder, 1, 4, 0, "%s", line);
    EXPECT_EQ(QFileInfo(path).size(), 1023 * 1024);
    EXPECT_FALSE(QFileInfo::exists(path + ".2"));
    entry(holder, 1, 4, 0, "%s", line);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path + ".2").size(), 1048576);
}

TEST_F(FileLogTest, FailedOpensChangeThePathTwentyTimes) {
    // The parent of the log is a regular file, so no open can succeed (not even as root).
    const QString blocker = sandbox.writeFile("blocker.d", "not a folder");
    const QString path = blocker + "/client.log";
    TZvFileLog file(path, false, holder);
    log("lost");
    EXPECT_FALSE(file.isOpen());
    const QString digits = QStringLiteral("1234567891011121314151617181920");
    EXPECT_EQ(file.path(), blocker + "/client" + digits + ".log");
    // The next line starts again from the changed path.
    log("lost too");
    EXPECT_EQ(file.path(), blocker + "/client" + digits + digits + ".log");
}

TEST_F(FileLogTest, ChangedPathStaysForLaterOpens) {
    // Folders where the files should be: the first two attempts fail.
    QDir(sandbox.dir()).mkpath("client.log");
    QDir(sandbox.dir()).mkpath("client1.log");
    const QString path = sandbox.path("client.log");
    const QString used = sandbox.path("client12.log");
    holder.setMaxFileSize(10);
    TZvFileLog file(path, false, holder);
    log("one line"); // rolls over at once
    EXPECT_EQ(file.path(), used);
    EXPECT_EQ(readAll(used + ".2"), "one line\r\n");
    log("two");
    EXPECT_EQ(readAll(used), "two\r\n");
}

TEST_F(FileLogTest, LinesFromTwoThreadsDoNotInterleave) {
    const QString path = sandbox.path("threads.log");
    TZvFileLog file(path, false, holder);
    constexpr int perThread = 2000;
    const QByteArray a(300, 'a');
    const QByteArray b(300, 'b');
    auto run = [&](const QByteArray &text) {
        for (int i = 0; i < perThread; ++i)
            entry(holder, 1, 4, 0, "%s %d", text, i);
    };
    std::thread t1(run, a);
    std::thread t2(run, b);
    t1.join();
    t2.join();
    QList<QByteArray> lines = readAll(path).split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray());
    ASSERT_EQ(lines.size(), 2 * perThread);
    int nextA = 0;
    int nextB = 0;
    for (const QByteArray &line : lines) {
        ASSERT_TRUE(line.endsWith('\r'));
        const QByteArray body = line.chopped(1);
        if (body.startsWith(a + ' '))
            ASSERT_EQ(body.mid(301).toInt(), nextA++);
        else if (body.startsWith(b + ' '))
            ASSERT_EQ(body.mid(301).toInt(), nextB++);
        else
            FAIL() << "mixed line: " << body.left(40).toStdString();
    }
    EXPECT_EQ(nextA, perThread);
    EXPECT_EQ(nextB, perThread);
}

// Runs steps one after the other, each in its own turn of an event loop: a step posts the
// next when it ends, so whatever a step posted runs before the next step.
void runInEventLoopTurns(const std::vector<std::function<void()>> &steps) {
    QEventLoop loop;
    size_t next = 0;
    std::function<void()> runNext = [&] {
        if (next == steps.size()) {
            loop.quit();
            return;
        }
        steps[next++]();
        QTimer::singleShot(0, &loop, runNext);
    };
    QTimer::singleShot(0, &loop, runNext);
    loop.exec();
}

TEST_F(FileLogTest, InsideAnEventLoopLinesWaitForTheNextTurnAndErrorsDoNot) {
    const QString path = sandbox.path("client.log");
    TZvFileLog file(path, false, holder);
    QByteArray afterTurn;
    runInEventLoopTurns({
        [&] {
            log("first");
            log("second");
            EXPECT_EQ(readAll(path), "");
            entry(holder, 1, lkError, 0, "failed");
            EXPECT_EQ(readAll(path), "first\r\nsecond\r\nfailed\r\n");
            log("third");
            EXPECT_EQ(readAll(path), "first\r\nsecond\r\nfailed\r\n");
        },
        [&] { afterTurn = readAll(path); },
    });
    EXPECT_EQ(afterTurn, "first\r\nsecond\r\nfailed\r\nthird\r\n");

    // Without a running loop every line goes out at once.
    log("no loop");
    EXPECT_EQ(readAll(path), afterTurn + "no loop\r\n");
}

TEST_F(FileLogTest, BufferedLinesReachTheFileAtTheBoundAndAtDestruction) {
    const QString path = sandbox.path("client.log");
    const QByteArray line(1000, 'x');
    auto file = std::make_unique<TZvFileLog>(path, false, holder);
    runInEventLoopTurns({[&] {
        const int perBuffer = int(TZvFileLog::bufferBound / (line.size() + 2));
        for (int i = 0; i <= perBuffer; ++i)
            entry(holder, 1, lkInformation, 0, "%s", line);
        EXPECT_EQ(QFileInfo(path).size(), perBuffer * (line.size() + 2));
        log("last");
        file.reset();
        EXPECT_EQ(QFileInfo(path).size(), (perBuffer + 1) * (line.size() + 2) + 6);
    }});
}

TEST_F(FileLogTest, RollOverInsideAnEventLoopHappensAtTheSameLine) {
    const QString path = sandbox.path("client.log");
    holder.setMaxFileSize(20);
    TZvFileLog file(path, false, holder);
    runInEventLoopTurns({[&] {
        log("line one");
        log("line two"); // 20 bytes: at the limit
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(readAll(path + ".2"), "line one\r\nline two\r\n");
        log("four");
    }});
    EXPECT_EQ(readAll(path), "four\r\n");
}

// A child process logs inside its event loop and then ends as end() says; the lines it
// buffered must be in the file all the same.
TEST_F(FileLogTest, BufferedLinesSurviveACrashAndExit) {
    struct Case {
        const char *name;
        void (*end)();
        int signal; // 0: a normal exit with status 0
    };
    const std::vector<Case> cases = {
        {"segmentation fault", [] { std::raise(SIGSEGV); }, SIGSEGV},
        {"abort", [] { std::abort(); }, SIGABRT},
        {"exit", [] { std::exit(0); }, 0},
    };
    constexpr int linesWereNotBuffered = 3;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = sandbox.path(QStringLiteral("child-%1.log").arg(c.name));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Keeps a sanitizer's report of the deliberate crash out of the test's output.
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDERR_FILENO);
            TClassData childHolder;
            childHolder.setOptions(0);
            TZvFileLog file(path, false, childHolder);
            runInEventLoopTurns({[&] {
                entry(childHolder, 1, lkInformation, 0, "before %s", c.name);
                entry(childHolder, 1, lkInformation, 0, "line %d", 2);
                if (QFileInfo(path).size() != 0)
                    ::_exit(linesWereNotBuffered);
                c.end();
            }});
            ::_exit(2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.signal == 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
#if defined(__SANITIZE_ADDRESS__)
            // The sanitizer's own handler comes next and ends the child its own way.
            EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == linesWereNotBuffered);
#else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
#endif
        }
        EXPECT_EQ(readAll(path), QByteArray("before ") + c.name + "\r\nline 2\r\n");
    }
}

TEST(TraceLog, WritesEachLineToStandardError) {
    zvtest::Sandbox sandbox;
    const QString capturePath = sandbox.path("stderr.txt");
    const int captureFd =
        ::open(QFile::encodeName(capturePath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(captureFd, 0);
    const int savedStderr = ::dup(STDERR_FILENO);
    ::dup2(captureFd, STDERR_FILENO);
    {
        TClassData holder;
        holder.setOptions(0x08);
        TZvTraceLog trace(holder);
        EXPECT_EQ(trace.name(), QStringLiteral("Trace"));
        entry(holder, 1, 4, 0, "traced\t%d", 1);
        entry(holder, 1, 4, 0, "second");
    }
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(captureFd);
    EXPECT_EQ(readAll(capturePath), "[C00001] traced[#9]1\n[C00001] second\n");
}

} // namespace

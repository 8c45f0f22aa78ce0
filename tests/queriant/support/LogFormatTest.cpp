// SPDX-License-Identifier: MIT
#include "LogFormat.h"
#include "Log.h"

#include "TestSupport.h"

#include <QLocale>

#include <vector>

namespace {

struct FormatCase {
    const char *name;
    const char *format;
    std::vector<TLogArg> args;
    std::optional<QString> expected; // nullopt: the entry is dropped
};

class LineSink : public TZvLog {
public:
    LineSink(TClassData &holder, bool escape) : TZvLog(QStringLiteral("Lines"), holder) {
        m_escape = escape;
    }
    ~LineSink() override { detach(); }
    void write(const QByteArray &line) override { lines.append(line); }
    QList<QByteArray> lines;
};

// A holder builds a line without characters above 255 in Latin-1 and the others in UTF-16;
// either way its sinks get the formatted message, escaped or as UTF-8.
void expectDelivered(const FormatCase &c) {
    TClassData holder;
    holder.setOptions(0);
    LineSink escaped(holder, true);
    LineSink plain(holder, false);
    holder.entry(lcGeneral, lkInformation, 0, c.format, c.args);
    if (!c.expected) {
        EXPECT_TRUE(escaped.lines.isEmpty());
        EXPECT_TRUE(plain.lines.isEmpty());
        return;
    }
    EXPECT_EQ(escaped.lines, QList<QByteArray>{LogEscape(*c.expected)});
    EXPECT_EQ(plain.lines, QList<QByteArray>{c.expected->toUtf8()});
}

TEST(LogFormatMessage, ConvertsLikePrintf) {
    const QString host = QStringLiteral("print01");
    const QString umlauts = QStringLiteral("Grüße");
    const QByteArray utf8 = QByteArray("Gr\xC3\xBC\xC3\x9F"
                                       "e");
    const QByteArray notUtf8 = QByteArray("caf\xE9");
    const std::string stdText = "std";
    const std::vector<FormatCase> cases = {
        {"upper-case s and d", "Connecting to %S:%D", {host, 28203}, "Connecting to print01:28203"},
        {"precision pads digits", "Job %.3d", {7}, "Job 007"},
        {"width and left justify", "[%5d|%-5d]", {42, 42}, "[   42|42   ]"},
        {"zero pad keeps the sign first", "%05d", {-42}, "-0042"},
        {"plus sign", "%+d %+d", {5, -5}, "+5 -5"},
        {"hex lower and upper", "%x %X %#x", {255, 255, 255}, "ff FF 0xff"},
        {"negative int as unsigned hex is 32-bit", "%x", {-1}, "ffffffff"},
        {"negative 64-bit as hex", "%x", {qint64(-1)}, "ffffffffffffffff"},
        {"negative int as unsigned", "%u", {-1}, "4294967295"},
        {"octal", "%o %#o", {8, 8}, "10 010"},
        {"64-bit extremes",
         "%d %u",
         {std::numeric_limits<qint64>::min(), std::numeric_limits<quint64>::max()},
         "-9223372036854775808 18446744073709551615"},
        {"length modifiers are accepted",
         "%ld %lld %I64d %hd %zu",
         {1L, 2LL, qint64(3), 4, size_t(5)},
         "1 2 3 4 5"},
        {"star width", "[%*d]", {4, 7}, "[   7]"},
        {"negative star width left-justifies", "[%*d]", {-4, 7}, "[7   ]"},
        {"zero with precision zero prints nothing", "[%.0d]", {0}, "[]"},
        {"wide string", "%s", {umlauts}, umlauts},
        {"UTF-8 bytes", "%s", {utf8}, umlauts},
        {"bytes that are not UTF-8 keep their codes",
         "%s",
         {notUtf8},
         QString::fromLatin1("caf\xE9")},
        {"C string and std::string", "%s/%s", {"plain", stdText}, "plain/std"},
        {"null C string is empty", "[%s]", {static_cast<const char *>(nullptr)}, "[]"},
        {"string precision truncates", "%.3s", {host}, "pri"},
        {"string width", "[%8s]", {host}, "[ print01]"},
        {"chars", "%c%c%s", {'A', QChar(0xE9), 'z'}, QString::fromUtf8("A\xC3\xA9z")},
        {"char from an integer", "%c", {66}, "B"},
        {"fixed", "%.2f", {3.14159}, "3.14"},
        {"fixed default precision", "%f", {-0.5}, "-0.500000"},
        {"scientific", "%e %E", {12345.678, 12345.678}, "1.234568e+04 1.234568E+04"},
        {"general", "%g %g", {0.0001, 1e20}, "0.0001 1e+20"},
        {"fixed width zero pad", "%08.3f", {-3.5}, "-003.500"},
        {"percent", "100%% done", {}, "100% done"},
        {"argument indexes", "%1:s before %0:s, then %s", {"b", "a", "c"}, "a before b, then a"},
        {"index past the arguments", "%2:s", {"a"}, std::nullopt},
        {"UTF-8 text in the format", "Grüße %d", {1}, QStringLiteral("Grüße 1")},
        {"arguments beyond the format are ignored", "%d", {1, 2}, "1"},
        {"no conversions", "plain text", {}, "plain text"},
        {"Latin-1 text with width",
         "[%-6s|%6s]",
         {umlauts, utf8},
         QStringLiteral("[Grüße | Grüße]")},
        {"precision clips Latin-1 text", "%.3s|%.3s", {umlauts, utf8}, QStringLiteral("Grü|Grü")},
        {"controls, DEL, C1 and the copyright sign",
         "%s%c%c%c",
         {QStringLiteral("a\tb\x7F"), QChar(0x9F), QChar(169), '\n'},
         QStringLiteral("a\tb\x7F") + QChar(0x9F) + QChar(169) + u'\n'},
        {"characters above 255",
         "%s %c %s",
         {QStringLiteral("€"), QChar(0x100), "\xE2\x82\xAC"},
         QStringLiteral("€ Ā €")},
        {"surrogate halves from two conversions make one character",
         "%c%c",
         {QChar(0xD83D), QChar(0xDE00)},
         QString::fromUcs4(U"\U0001F600", 1)},
        {"lone surrogate", "[%c]", {QChar(0xD800)}, QStringLiteral("[") + QChar(0xD800) + u']'},
        {"format text that is not UTF-8 keeps its codes",
         "caf\xE9 %d",
         {1},
         QStringLiteral("café 1")},
        {"each run of format text is decoded on its own",
         "\xE9%%\xC3\xA9",
         {},
         QStringLiteral("é%é")},
        {"format text beyond Latin-1", "€ %d", {1}, QStringLiteral("€ 1")},
        {"string for an integer", "%d", {host}, std::nullopt},
        {"integer for a string", "%s", {5}, std::nullopt},
        {"integer for a float", "%f", {5}, std::nullopt},
        {"double for an integer", "%d", {2.5}, std::nullopt},
        {"missing argument", "%s and %d", {host}, std::nullopt},
        {"star without an integer", "%*d", {host, 1}, std::nullopt},
        {"unknown conversion", "%y", {1}, std::nullopt},
        {"lone percent at the end", "50%", {}, std::nullopt},
        {"flags then the end", "%-", {1}, std::nullopt},
    };
    for (const FormatCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LogFormatMessage(c.format, c.args), c.expected);
        expectDelivered(c);
    }
    EXPECT_EQ(LogFormatMessage(nullptr, {}), std::nullopt);
}

TEST(LogLabels, CategoryAndKind) {
    const std::vector<std::pair<quint32, QString>> categories = {
        {1, "C00001"}, {0x10000, "CZv   "}, {0x20000, "CZvCom"},         {0x30000, "C196608"},
        {0, "C00000"}, {123456, "C123456"}, {0xFFFFFFFF, "C4294967295"},
    };
    for (const auto &[category, label] : categories)
        EXPECT_EQ(LogCategoryLabel(category), label) << category;

    const QString letters = QStringLiteral("?eweiewedewe");
    for (quint32 kind = 0; kind < 12; ++kind)
        EXPECT_EQ(LogKindLetter(kind), letters[kind]) << kind;
    EXPECT_EQ(LogKindLetter(12), QLatin1Char('?'));
    EXPECT_EQ(LogKindLetter(0x80000000u), QLatin1Char('?'));
}

TEST(LogPrefix, FieldsFollowTheOptions) {
    TLogPrefixFields f;
    f.time = TLogTime{2018, 8, 7, 14, 3, 5, 120};
    f.processId = 4711;
    f.threadId = 42;
    f.category = 1;
    f.kind = 4;
    f.sourceName = QStringLiteral("Queriant.exe");
    const TLogLocaleInfo english;

    struct Case {
        quint32 options;
        quint32 category;
        quint32 kind;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {0x00, 1, 4, ""},
        {0x01, 1, 4, "[07/Aug/18 14:03:05:120] "},
        {0x21, 1, 4, "[07/Aug/18 14:03:05:120 Queriant.exe] "},
        {0x08, 1, 4, "[C00001] "},
        {0x09, 1, 4, "[07/Aug/18 14:03:05:120C00001] "},
        {0x02, 1, 4, "[ P4711] "},
        {0x04, 1, 4, "[ T042] "},
        {0x10, 1, 1, "[ e] "},
        {0x18, 0x20000, 3, "[CZvCom e] "},
        {0x18, 0x10000, 2, "[CZv    w] "},
        {0x18, 0x10, 8, "[C00016 d] "},
        {0x3F, 1, 4, "[07/Aug/18 14:03:05:120 P4711 T042C00001 i Queriant.exe] "},
        {0x40, 1, 4, "[] "},
    };
    for (const Case &c : cases) {
        f.category = c.category;
        f.kind = c.kind;
        EXPECT_EQ(LogPrefix(c.options, f, english), QString::fromLatin1(c.expected))
            << "options " << c.options;
    }

    f.sourceName.clear();
    EXPECT_EQ(LogPrefix(0x20, f, english), QStringLiteral("[] "));

    f.processId = 5;
    EXPECT_EQ(LogPrefix(0x02, f, english), QStringLiteral("[ P005] "));
}

TEST(LogPrefix, DateUsesTheLocaleNamesAndSeparators) {
    TLogLocaleInfo info;
    info.monthAbbreviations[0] = QStringLiteral("janv.");
    info.dateSeparator = QStringLiteral(".");
    info.timeSeparator = QStringLiteral("h");
    TLogPrefixFields f;
    f.time = TLogTime{2005, 1, 3, 7, 8, 9, 5};
    EXPECT_EQ(LogPrefix(1, f, info), QStringLiteral("[03.janv..05 07h08h09h005] "));

    const TLogLocaleInfo german = TLogLocaleInfo::fromLocale(QLocale(QLocale::German));
    EXPECT_EQ(german.dateSeparator, QStringLiteral("."));
    EXPECT_EQ(german.timeSeparator, QStringLiteral(":"));
    // The C locale's short date has no separator: the defaults stay.
    const TLogLocaleInfo c = TLogLocaleInfo::fromLocale(QLocale::c());
    EXPECT_EQ(c.dateSeparator, QStringLiteral("/"));
    EXPECT_EQ(c.monthAbbreviations[7], QStringLiteral("Aug"));
    EXPECT_EQ(german.monthAbbreviations[4],
              QLocale(QLocale::German).monthName(5, QLocale::ShortFormat));
}

TEST(LogEscape, ReplacesCharactersOutsidePrintableAscii) {
    const std::vector<std::pair<QString, QByteArray>> cases = {
        {"plain ~ text", "plain ~ text"},
        {"line\nfeed", "line[#10]feed"},
        {"cr\r\ntab\t", "cr[#13][#10]tab[#9]"},
        {QString(QChar(0)), "[#0]"},
        {QString(QChar(127)), "[#127]"},
        {QStringLiteral("café"), "caf[#233]"},
        {QStringLiteral("© 2018"), "\xC2\xA9 2018"},
        {QStringLiteral("€"), "[#8364]"},
        {QString::fromUcs4(U"\U0001F600"), "[#128512]"},
        {QString(QChar(0xD800)), "[#55296]"},
        {"", ""},
    };
    for (const auto &[line, escaped] : cases)
        EXPECT_EQ(LogEscape(line), escaped) << line.toStdString();
}

TEST(LogChangedPath, InsertsTheCountBeforeTheFirstDotOfTheName) {
    EXPECT_EQ(LogChangedPath("/var/log/client.log", 1), "/var/log/client1.log");
    EXPECT_EQ(LogChangedPath(LogChangedPath("/var/log/client.log", 1), 2), "/var/log/client12.log");
    EXPECT_EQ(LogChangedPath("/var/log/archive.tar.gz", 3), "/var/log/archive3.tar.gz");
    EXPECT_EQ(LogChangedPath("/var/log/client", 1), "/var/log/client1");
    // A dot in a folder name is not the name's.
    EXPECT_EQ(LogChangedPath("/var/log.d/client.log", 1), "/var/log.d/client1.log");
    EXPECT_EQ(LogChangedPath("/var/log.d/client", 7), "/var/log.d/client7");
    EXPECT_EQ(LogChangedPath("client.log", 20), "client20.log");

    const QString longName = "/tmp/" + QString(251, QLatin1Char('a')) + ".log";
    EXPECT_EQ(LogChangedPath(longName, 1), longName);
}

} // namespace

// SPDX-License-Identifier: MIT
#include "ZvLogFormat.h"
#include "TestSupport.h"

TEST(ZvLogFormat, FormatsLikePrintf) {
    const QString text = QStringLiteral("Zv.Task");
    struct Case {
        const char *name;
        QString format;
        std::vector<ZvLogArg> args;
        QString expected;
    } cases[] = {
        {"plain text", QStringLiteral("no conversions"), {}, QStringLiteral("no conversions")},
        {"text argument",
         QStringLiteral("Loading task '%s'"),
         {text},
         QStringLiteral("Loading task 'Zv.Task'")},
        {"wide text conversion",
         QStringLiteral("%S|%ls"),
         {text, text},
         QStringLiteral("Zv.Task|Zv.Task")},
        {"percent", QStringLiteral("100%% sure"), {}, QStringLiteral("100% sure")},
        {"zero padded",
         QStringLiteral("%04d/%02d/%02d %03d"),
         {2018, 8, 7, 5},
         QStringLiteral("2018/08/07 005")},
        {"negative zero padded", QStringLiteral("%05d"), {-42}, QStringLiteral("-0042")},
        {"hex", QStringLiteral("P%03X T%03x"), {0x5a4, 0xf}, QStringLiteral("P5A4 T00f")},
        {"long hex",
         QStringLiteral("Unknown error 0x%0lX"),
         {0x80040100u},
         QStringLiteral("Unknown error 0x80040100")},
        {"alternate hex", QStringLiteral("%#x"), {255}, QStringLiteral("0xff")},
        {"unsigned of negative",
         QStringLiteral("%u"),
         {-1},
         QStringLiteral("18446744073709551615")},
        {"width and left",
         QStringLiteral("[%5s][%-5s]"),
         {QStringLiteral("ab"), QStringLiteral("cd")},
         QStringLiteral("[   ab][cd   ]")},
        {"precision cuts text", QStringLiteral("%.3s"), {text}, QStringLiteral("Zv.")},
        {"star width", QStringLiteral("%*d"), {4, 7}, QStringLiteral("   7")},
        {"64-bit prefix",
         QStringLiteral("%I64d"),
         {1234567890123LL},
         QStringLiteral("1234567890123")},
        {"missing argument", QStringLiteral("[%s|%d]"), {}, QStringLiteral("[|0]")},
        {"number as text", QStringLiteral("%s"), {17}, QStringLiteral("17")},
        {"character", QStringLiteral("%c%c"), {65, QStringLiteral("xyz")}, QStringLiteral("Ax")},
        {"unknown conversion kept", QStringLiteral("a %q b"), {}, QStringLiteral("a %q b")},
        {"trailing percent kept", QStringLiteral("50%"), {}, QStringLiteral("50%")},
        {"text is not a format",
         QStringLiteral("%s"),
         {QStringLiteral("%d %s")},
         QStringLiteral("%d %s")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(zvFormat(c.format, std::span<const ZvLogArg>(c.args)), c.expected) << c.name;
}

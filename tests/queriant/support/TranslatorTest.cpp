// SPDX-License-Identifier: MIT
#include "ResourceStrings.h"
#include "SimpleTranslator.h"
#include "TestSupport.h"

#include <QFile>

namespace {

// A language without a column in the file.
constexpr int LangJapanese = 17;

struct PathCase {
    const char *name;
    QString exe;
    QString lan;
};

TEST(LanguageFilePath, ReplacesOrAppendsTheExtension) {
    const PathCase cases[] = {
        {"no extension", "/opt/zorvant/bin/queriant", "/opt/zorvant/bin/queriant.lan"},
        {"extension replaced", "/opt/zv/queriant.exe", "/opt/zv/queriant.lan"},
        {"only the last extension", "/opt/zv/queriant.v2.bin", "/opt/zv/queriant.v2.lan"},
        {"dot in a folder name only", "/opt/zv.d/queriant", "/opt/zv.d/queriant.lan"},
    };
    for (const PathCase &c : cases)
        EXPECT_EQ(LanguageFilePath(c.exe), c.lan) << c.name;
}

struct SplitCase {
    const char *name;
    QString value;
    QStringList entries;
};

TEST(SplitCommaText, FollowsTheCommaTextRules) {
    const SplitCase cases[] = {
        {"empty", "", {}},
        {"two entries", "Required,Pflicht", {"Required", "Pflicht"}},
        {"unquoted blank separates", "Print job", {"Print", "job"}},
        {"quoted blank kept", "\"Print job\",\"Druckauftrag\"", {"Print job", "Druckauftrag"}},
        {"doubled quote", "\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        {"quoted comma", "\"a,b\",c", {"a,b", "c"}},
        {"blanks around commas skipped", "  a ,  b", {"a", "b"}},
        {"empty between commas", "a,,c", {"a", "", "c"}},
        {"leading comma", ",x", {"", "x"}},
        {"trailing comma adds empty", "a,", {"a", ""}},
        {"only a comma", ",", {"", ""}},
        {"tab separates", "a\tb", {"a", "b"}},
        {"unterminated quote runs to end", "\"a b", {"a b"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(SplitCommaText(c.value), c.entries) << c.name;
}

struct LookupCase {
    const char *name;
    QStringList lines;
    int language;
    QString key;
    QString expected;
};

TEST(TSimpleTranslator, PicksTheUsersColumn) {
    const QStringList six = {"AppTitle=en,de,fr,it,es,ar"};
    const QString def = "default";
    const LookupCase cases[] = {
        {"german second entry",
         {"SValidation_Mandatory=Required,Pflicht"},
         zv::LANG_GERMAN,
         "SValidation_Mandatory",
         "Pflicht"},
        {"french one entry short",
         {"SValidation_Mandatory=Required,Pflicht"},
         zv::LANG_FRENCH,
         "SValidation_Mandatory",
         def},
        {"english", six, zv::LANG_ENGLISH, "AppTitle", "en"},
        {"german", six, zv::LANG_GERMAN, "AppTitle", "de"},
        {"french", six, zv::LANG_FRENCH, "AppTitle", "fr"},
        {"italian", six, zv::LANG_ITALIAN, "AppTitle", "it"},
        {"spanish", six, zv::LANG_SPANISH, "AppTitle", "es"},
        {"arabic", six, zv::LANG_ARABIC, "AppTitle", "ar"},
        {"japanese gets defaults", six, LangJapanese, "AppTitle", def},
        {"unquoted blank english", {"AppTitle=Print job"}, zv::LANG_ENGLISH, "AppTitle", "Print"},
        {"unquoted blank german", {"AppTitle=Print job"}, zv::LANG_GERMAN, "AppTitle", "job"},
        {"quoted value whole",
         {"AppTitle=\"Print job\""},
         zv::LANG_ENGLISH,
         "AppTitle",
         "Print job"},
        {"empty english entry", {"AppTitle=,Titel"}, zv::LANG_ENGLISH, "AppTitle", def},
        {"key ignores case", {"apptitle=x"}, zv::LANG_ENGLISH, "AppTitle", "x"},
        {"first match wins",
         {"AppTitle=first", "APPTITLE=second"},
         zv::LANG_ENGLISH,
         "AppTitle",
         "first"},
        {"key blanks are significant", {"AppTitle =x"}, zv::LANG_ENGLISH, "AppTitle", def},
        {"value after first equals sign", {"K=a=b"}, zv::LANG_ENGLISH, "K", "a=b"},
        {"missing key", six, zv::LANG_ENGLISH, "Other", def},
        {"line without equals sign", {"AppTitle"}, zv::LANG_ENGLISH, "AppTitle", def},
    };
    for (const LookupCase &c : cases)
        EXPECT_EQ(TSimpleTranslator(c.lines, c.language).Translate(c.key, def), c.expected)
            << c.name;
}

TEST(TSimpleTranslator, ReadsTheFileWithAnyLineEnd) {
    zvtest::Sandbox sandbox;
    const QString path =
        sandbox.writeFile("queriant.lan", "\xEF\xBB\xBF"
                                          "A=a1,a2\r\nB=b1,\"b 2\"\nC=c1,Gr\xC3\xBC\xC3\x9F"
                                          "e\rD=d1,d2");
    const TSimpleTranslator german = TSimpleTranslator::FromFile(path, zv::LANG_GERMAN);
    EXPECT_EQ(german.Translate("a", "x"), "a2");
    EXPECT_EQ(german.Translate("B", "x"), "b 2");
    EXPECT_EQ(german.Translate("C", "x"), QString::fromUtf8("Grüße"));
    EXPECT_EQ(german.Translate("D", "x"), "d2");
}

TEST(TSimpleTranslator, MissingFileGivesDefaults) {
    zvtest::Sandbox sandbox;
    const TSimpleTranslator t =
        TSimpleTranslator::FromFile(sandbox.path("none.lan"), zv::LANG_GERMAN);
    EXPECT_TRUE(t.Lines().isEmpty());
    EXPECT_EQ(t.Translate("AppTitle", "Print job question"), "Print job question");
}

// The test program has no language file beside it, so every process-wide lookup is its default.
TEST(ResourceStrings, FallBackToDefaultsWithoutALanguageFile) {
    ASSERT_FALSE(QFile::exists(
        LanguageFilePath(QString::fromUtf8(ZV_BIN_DIR) + QStringLiteral("/test_support"))));
    EXPECT_EQ(LoadResString(Res::SValidation_Mandatory), "You are required to provide an answer.");
    EXPECT_EQ(StandardButtonCaption(6), "&Yes");
    EXPECT_EQ(StandardButtonCaption(7), "&No");
    EXPECT_EQ(StandardButtonCaption(0), QString());
    EXPECT_EQ(StandardButtonCaption(8), QString());
}

} // namespace

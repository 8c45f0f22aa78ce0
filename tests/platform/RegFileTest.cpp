// SPDX-License-Identifier: MIT
#include "RegFile.h"
#include "TestSupport.h"

using zv::RegHiveKey;
using zv::RegValue;

namespace {

const QString kHklm = QStringLiteral("HKEY_LOCAL_MACHINE");

QString hive(const char *body) {
    return QStringLiteral("Windows Registry Editor Version 5.00\n\n") + QString::fromUtf8(body);
}

RegHiveKey parse(const QString &text) {
    return zv::parseRegText(text, kHklm, QStringLiteral("m.reg"));
}

struct ValueCase {
    const char *name;
    QString text;
    const char *key;
    QString valueName;
    RegValue expected;
};

class RegParseValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RegParseValue, ReadsTheValue) {
    const ValueCase &c = GetParam();
    const RegHiveKey root = parse(c.text);
    const RegHiveKey *key = root.find(zv::splitRegPath(QString::fromUtf8(c.key)));
    ASSERT_NE(key, nullptr);
    const RegValue *v = key->value(c.valueName);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, c.expected);
}

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray b;
    for (int x : list)
        b.append(char(x));
    return b;
}

QString utf16LeWithBom(const QString &s) {
    // Builds the bytes regedit saves and decodes them the way the registry reads a file.
    QByteArray b("\xff\xfe");
    for (QChar c : s) {
        b.append(char(c.unicode() & 0xff));
        b.append(char(c.unicode() >> 8));
    }
    return zv::decodeRegBytes(b);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegParseValue,
    ::testing::Values(
        ValueCase{"QuotedWithEscapes",
                  hive("[HKEY_LOCAL_MACHINE\\S]\n\"A\\\\\\\"B\"=\"C:\\\\dir \\\"x\\\"\"\n"), "S",
                  QStringLiteral("A\\\"B"), RegValue::string(QStringLiteral("C:\\dir \"x\""))},
        ValueCase{"DefaultValue", hive("[HKEY_LOCAL_MACHINE\\S]\n@=\"d\"\n"), "S", QString(),
                  RegValue::string(QStringLiteral("d"))},
        ValueCase{"DWord", hive("[HKEY_LOCAL_MACHINE\\S]\n\"T\"=dword:0000001e\n"), "S",
                  QStringLiteral("T"), RegValue::fromDWord(30)},
        ValueCase{"DWordUpperCase", hive("[HKEY_LOCAL_MACHINE\\S]\n\"T\"=DWORD:FFFFFFFF\n"), "S",
                  QStringLiteral("T"), RegValue::fromDWord(0xffffffffu)},
        ValueCase{"ExpandString",
                  hive("[HKEY_LOCAL_MACHINE\\S]\n\"E\"=hex(2):25,00,41,00,25,00,00,00\n"), "S",
                  QStringLiteral("E"), RegValue::expandString(QStringLiteral("%A%"))},
        ValueCase{"StringAsHex1",
                  hive("[HKEY_LOCAL_MACHINE\\S]\n\"N\"=hex(1):61,00,0a,00,62,00,00,00\n"), "S",
                  QStringLiteral("N"), RegValue::string(QStringLiteral("a\nb"))},
        ValueCase{"StringAsHex1PastANul",
                  hive("[HKEY_LOCAL_MACHINE\\S]\n\"N\"=hex(1):61,00,00,00,62,00,00,00\n"), "S",
                  QStringLiteral("N"), RegValue::string(QString::fromUtf16(u"a\0b", 3))},
        ValueCase{"StringAsHex1WithoutTerminator",
                  hive("[HKEY_LOCAL_MACHINE\\S]\n\"N\"=hex(1):61,00\n"), "S", QStringLiteral("N"),
                  RegValue::string(QStringLiteral("a"))},
        ValueCase{"DWordAsHex4", hive("[HKEY_LOCAL_MACHINE\\S]\n\"D\"=hex(4):01,02,00,80\n"), "S",
                  QStringLiteral("D"), RegValue::fromDWord(0x80000201u)},
        ValueCase{
            "BinaryContinued",
            hive("[HKEY_LOCAL_MACHINE\\S]\n\"B\"=hex:01,02,\\\n  03,\\\n  ff\n\"After\"=\"x\"\n"),
            "S", QStringLiteral("B"), RegValue::fromBinary(bytes({1, 2, 3, 0xff}))},
        ValueCase{"EmptyBinary", hive("[HKEY_LOCAL_MACHINE\\S]\n\"B\"=hex:\n"), "S",
                  QStringLiteral("B"), RegValue::fromBinary({})},
        ValueCase{"CrLfLinesAndComment",
                  hive("; exported\r\n[HKEY_LOCAL_MACHINE\\S\\T]\r\n\"V\"=\"w\"\r\n"), "S\\T",
                  QStringLiteral("V"), RegValue::string(QStringLiteral("w"))},
        ValueCase{"Utf8Text", hive("[HKEY_LOCAL_MACHINE\\S]\n\"Ort\"=\"Z\xc3\xbcrich\"\n"), "S",
                  QStringLiteral("Ort"), RegValue::string(QStringLiteral("Z\u00fcrich"))},
        ValueCase{"Utf16FileWithBom",
                  utf16LeWithBom(hive("[HKEY_LOCAL_MACHINE\\S]\r\n\"Ort\"=\"Z\xc3\xbcrich\"\r\n")),
                  "S", QStringLiteral("Ort"), RegValue::string(QStringLiteral("Z\u00fcrich"))},
        ValueCase{"LastDuplicateWins", hive("[HKEY_LOCAL_MACHINE\\S]\n\"V\"=\"1\"\n\"v\"=\"2\"\n"),
                  "S", QStringLiteral("V"), RegValue::string(QStringLiteral("2"))}),
    [](const auto &info) { return std::string(info.param.name); });

struct ErrorCase {
    const char *name;
    const char *text; // the whole file
    int line;
    const char *reasonPart;
};

class RegParseFails : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RegParseFails, NamesFileAndLine) {
    const ErrorCase &c = GetParam();
    try {
        parse(QString::fromUtf8(c.text));
        FAIL() << "parsed without error";
    } catch (const zv::RegParseError &e) {
        EXPECT_EQ(e.line(), c.line);
        EXPECT_TRUE(e.reason().contains(QString::fromUtf8(c.reasonPart))) << e.what();
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("Registry file m.reg, line %1: ").arg(c.line)))
            << e.what();
    }
}

#define HDR "Windows Registry Editor Version 5.00\n\n"
INSTANTIATE_TEST_SUITE_P(
    Cases, RegParseFails,
    ::testing::Values(
        ErrorCase{"MissingHeader", "[HKEY_LOCAL_MACHINE\\S]\n", 1, "header"},
        ErrorCase{"OldHeader", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\S]\n", 1, "header"},
        ErrorCase{"ValueBeforeKey", HDR "\"A\"=\"b\"\n", 3, "before the first key"},
        ErrorCase{"KeyOfOtherRoot", HDR "[HKEY_LOCAL_MACHINE\\S]\n\n[HKEY_CURRENT_USER\\S]\n", 5,
                  "outside HKEY_LOCAL_MACHINE"},
        ErrorCase{"UnclosedKey", HDR "[HKEY_LOCAL_MACHINE\\S\n", 3, "]"},
        ErrorCase{"KeyDeletion", HDR "[-HKEY_LOCAL_MACHINE\\S]\n", 3, "deletion"},
        ErrorCase{"UnclosedQuote", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=\"b\n", 4, "closing quote"},
        ErrorCase{"LoneBackslash", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=\"C:\\dir\"\n", 4,
                  "backslash"},
        ErrorCase{"TextAfterQuote", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=\"b\" c\n", 4,
                  "after the closing quote"},
        ErrorCase{"MissingEquals", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\" \"b\"\n", 4, "\"=\""},
        ErrorCase{"BareWord", HDR "[HKEY_LOCAL_MACHINE\\S]\nA=\"b\"\n", 4, "expected"},
        ErrorCase{"DWordNotHex", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=dword:0000001g\n", 4, "dword"},
        ErrorCase{"DWordTooLong", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=dword:100000000\n", 4,
                  "dword"},
        ErrorCase{"BadHexByte", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex:01,0g\n", 4, "0g"},
        ErrorCase{"HexByteTooLong", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex:01,100\n", 4, "100"},
        ErrorCase{"OddExpandString", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex(2):41,00,00\n", 4,
                  "odd"},
        ErrorCase{"UnsupportedType", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex(7):41,00,00,00\n", 4,
                  "hex(7)"},
        ErrorCase{"ContinuationAtEnd", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex:01,\\\n", 4,
                  "continued"},
        ErrorCase{"ErrorAfterContinuation",
                  HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=hex:01,\\\n  02\n\"B\"=bogus\n", 6, "bogus"},
        ErrorCase{"ValueDeletion", HDR "[HKEY_LOCAL_MACHINE\\S]\n\"A\"=-\n", 4, "deletion"}),
    [](const auto &info) { return std::string(info.param.name); });
#undef HDR

TEST(RegFile, KeysSortCaseInsensitivelyAndMergeValuesKeepFileOrder) {
    const RegHiveKey root =
        parse(hive("[HKEY_LOCAL_MACHINE\\Soft\\beta]\n"
                   "[hkey_local_machine\\SOFT\\Alpha]\n\"z\"=\"1\"\n\"a\"=\"2\"\n"
                   "[HKEY_LOCAL_MACHINE\\soft\\gamma]\n"
                   "[HKEY_LOCAL_MACHINE\\Soft\\ALPHA]\n\"M\"=\"3\"\n"));
    const RegHiveKey *soft = root.find({QStringLiteral("sOfT")});
    ASSERT_NE(soft, nullptr);
    ASSERT_EQ(soft->subKeys.size(), 3u);
    EXPECT_EQ(soft->subKeys[0].name, QStringLiteral("Alpha"));
    EXPECT_EQ(soft->subKeys[1].name, QStringLiteral("beta"));
    EXPECT_EQ(soft->subKeys[2].name, QStringLiteral("gamma"));
    const RegHiveKey &alpha = soft->subKeys[0];
    ASSERT_EQ(alpha.values.size(), 3);
    EXPECT_EQ(alpha.values[0].name, QStringLiteral("z"));
    EXPECT_EQ(alpha.values[1].name, QStringLiteral("a"));
    EXPECT_EQ(alpha.values[2].name, QStringLiteral("M"));
    ASSERT_NE(alpha.value(QStringLiteral("m")), nullptr);
    EXPECT_EQ(alpha.value(QStringLiteral("m"))->text, QStringLiteral("3"));
}

TEST(RegFile, ReplacingAValueKeepsItsPlaceAndSpelling) {
    RegHiveKey key(QStringLiteral("K"));
    key.setValue(QStringLiteral("First"), RegValue::fromDWord(1));
    key.setValue(QStringLiteral("Second"), RegValue::fromDWord(2));
    key.setValue(QStringLiteral("FIRST"), RegValue::string(QStringLiteral("x")));
    ASSERT_EQ(key.values.size(), 2);
    EXPECT_EQ(key.values[0].name, QStringLiteral("First"));
    EXPECT_EQ(key.values[0].value, RegValue::string(QStringLiteral("x")));
    EXPECT_TRUE(key.removeValue(QStringLiteral("second")));
    EXPECT_FALSE(key.removeValue(QStringLiteral("second")));
    EXPECT_EQ(key.values.size(), 1);
}

TEST(RegFile, WritesTheRegeditLayout) {
    RegHiveKey root(kHklm);
    RegHiveKey &client = root.ensure(
        {QStringLiteral("SOFTWARE"), QStringLiteral("Zorvant"), QStringLiteral("Popup Client")});
    client.setValue(QStringLiteral("Port"), RegValue::fromDWord(30));
    client.setValue(QString(), RegValue::string(QStringLiteral("a \"b\" C:\\x")));
    client.setValue(QStringLiteral("Home"), RegValue::expandString(QStringLiteral("%H%")));
    root.ensure({QStringLiteral("SOFTWARE"), QStringLiteral("Empty")});
    client.setValue(QStringLiteral("Blob"), RegValue::fromBinary(QByteArray(30, '\x5a')));
    const QString expected = QStringLiteral(
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zorvant]\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zorvant\\Popup Client]\n"
        "\"Port\"=dword:0000001e\n"
        "@=\"a \\\"b\\\" C:\\\\x\"\n"
        "\"Home\"=hex(2):25,00,48,00,25,00,00,00\n"
        "\"Blob\"=hex:5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,\\\n"
        "  5a,5a,5a,5a,5a,5a,5a,5a\n"
        "\n");
    EXPECT_EQ(zv::writeRegText(root), expected);
}

TEST(RegFile, EveryWrittenLineFitsEightyColumnsAndReadsBack) {
    RegHiveKey root(kHklm);
    RegHiveKey &k = root.ensure({QStringLiteral("S")});
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    k.setValue(QStringLiteral("AllBytes"), RegValue::fromBinary(all));
    k.setValue(QStringLiteral("LongExpand"),
               RegValue::expandString(QString(100, QLatin1Char('e'))));
    k.setValue(QStringLiteral("MultiLine"), RegValue::string(QStringLiteral("one\r\ntwo")));
    k.setValue(QStringLiteral("Quote\"d\\"),
               RegValue::string(QStringLiteral("\\\\server\\\"share\"")));
    k.setValue(QStringLiteral("Max"), RegValue::fromDWord(0xffffffffu));
    k.setValue(QStringLiteral("EmptyText"), RegValue::string(QString()));
    k.setValue(QStringLiteral("EmptyExpand"), RegValue::expandString(QString()));
    k.setValue(QStringLiteral("Nul"), RegValue::string(QString(1, QChar(0))));
    k.setValue(QStringLiteral("NulInside"), RegValue::string(QString::fromUtf16(u"a\0b", 3)));
    k.setValue(QStringLiteral("NulAtEnd"), RegValue::string(QString::fromUtf16(u"a\0", 2)));
    k.setValue(QStringLiteral("ExpandNul"),
               RegValue::expandString(QString::fromUtf16(u"%a%\0x", 5)));
    root.setValue(QStringLiteral("AtRoot"), RegValue::string(QStringLiteral("r")));
    const QString text = zv::writeRegText(root);
    for (const QString &line : text.split(QLatin1Char('\n')))
        EXPECT_LE(line.size(), 80) << line.toStdString();

    const RegHiveKey back = parse(text);
    ASSERT_NE(back.value(QStringLiteral("AtRoot")), nullptr);
    const RegHiveKey *bk = back.find({QStringLiteral("S")});
    ASSERT_NE(bk, nullptr);
    ASSERT_EQ(bk->values.size(), k.values.size());
    for (qsizetype i = 0; i < k.values.size(); ++i) {
        EXPECT_EQ(bk->values[i].name, k.values[i].name);
        EXPECT_EQ(bk->values[i].value, k.values[i].value) << k.values[i].name.toStdString();
    }
    EXPECT_EQ(zv::writeRegText(back), text);
}

TEST(RegFile, QuotedTextWithANulSurvivesWritingAndReading) {
    QString text = hive("[HKEY_LOCAL_MACHINE\\S]\n\"Q\"=\"a#b\"\n");
    text.replace(QLatin1Char('#'), QChar(0));
    const RegHiveKey first = parse(text);
    const RegValue *v = first.find({QStringLiteral("S")})->value(QStringLiteral("Q"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, RegValue::string(QString::fromUtf16(u"a\0b", 3)));
    const RegHiveKey again = parse(zv::writeRegText(first));
    EXPECT_EQ(*again.find({QStringLiteral("S")})->value(QStringLiteral("Q")), *v);
}

TEST(RegFile, EmptyTextIsAnEmptyHive) {
    EXPECT_TRUE(parse(QString()).subKeys.empty());
    EXPECT_TRUE(parse(QStringLiteral("\n  \n")).values.isEmpty());
}

} // namespace

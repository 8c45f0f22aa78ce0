// SPDX-License-Identifier: MIT
#include "value.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct SizeCase {
    const char *name;
    TZvComValue value;
    int code;
    std::uint32_t encodedSize;
    QString text;
};

void PrintTo(const SizeCase &c, std::ostream *os) {
    *os << c.name;
}

class ValueSizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ValueSizeText, CodeEncodedSizeAndText) {
    const SizeCase &c = GetParam();
    EXPECT_EQ(c.value.Code(), c.code);
    EXPECT_EQ(c.value.EncodedSize(), c.encodedSize);
    EXPECT_EQ(c.value.AsText(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueSizeText,
    ::testing::Values(SizeCase{"None", TZvComValue(), 0, 1, ""},
                      SizeCase{"Integer8", TZvComInteger8(-5), 1, 2, "-5"},
                      SizeCase{"UInteger8", TZvComUInteger8(200), 2, 2, "200"},
                      SizeCase{"Integer16", TZvComInteger16(-300), 3, 3, "-300"},
                      SizeCase{"UInteger16", TZvComUInteger16(65535), 4, 3, "65535"},
                      SizeCase{"Integer32", TZvComInteger32(-2147483647 - 1), 5, 5, "-2147483648"},
                      SizeCase{"UInteger32", TZvComUInteger32(4294967295u), 6, 5, "4294967295"},
                      SizeCase{"Float", TZvComFloat(0.1f), 7, 5, "0.1"},
                      SizeCase{"Double", TZvComDouble(2.5e-7), 8, 9, "2.5e-07"},
                      SizeCase{"String", TZvComString(QStringLiteral("Grüße")), 10, 5 + 8, "Grüße"},
                      SizeCase{"Binary", TZvComBinary(QByteArray("\x01\x02\x03", 3)), 11, 8, ""},
                      SizeCase{"Array", TZvComArray(12), 12, 5, "12"},
                      SizeCase{"TableStart", TZvComTableStart(3), 13, 5, "3"},
                      SizeCase{"NullString", TZvComValue::Null(zvcString), 10, 1, ""},
                      SizeCase{"NullInteger", TZvComValue::Null(zvcInteger32), 5, 1, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ZvComValue, TypeNamesAreTheResourceStringsInCodeOrder) {
    const char *names[] = {"None",
                           "8-Bit Integer",
                           "8-Bit Unsigned Integer",
                           "16-Bit Integer",
                           "16-Bit Unsigned Integer",
                           "32-Bit Integer",
                           "32-Bit Unsigned Integer",
                           "Floating Point",
                           "Double Precision",
                           "Date/Time",
                           "String",
                           "Binary Data",
                           "Array Length",
                           "Table"};
    for (int code = 0; code <= 13; ++code)
        EXPECT_EQ(ZvComResourceString(12023 + code), QString::fromLatin1(names[code])) << code;
    EXPECT_TRUE(ZvComTypeName(14).isEmpty());
}

TEST(ZvComValue, TypeErrorTextIsFilledWithBothTypeNamesAndTheField) {
    EXPECT_EQ(ZvComTypeErrorText(zvcString, zvcInteger32, 0),
              QStringLiteral("Incorrect data type in decode packet. Expected String, received "
                             "32-Bit Integer. Field: 0"));
}

TEST(ZvComValue, GettersRefuseAnotherTypeAndNullValues) {
    struct Case {
        const char *name;
        std::function<void()> call;
        const char *message;
    };
    const Case cases[] = {
        {"string as integer", [] { (void)TZvComString(QStringLiteral("x")).AsInteger(); },
         "Expected 32-Bit Integer, created String"},
        {"cardinal as string", [] { (void)TZvComUInteger32(1).AsString(); },
         "Expected String, created 32-Bit Unsigned Integer"},
        {"null integer", [] { (void)TZvComValue::Null(zvcInteger32).AsInteger(); },
         "Expected 32-Bit Integer, created 32-Bit Integer"},
        {"none as binary", [] { (void)TZvComValue().AsBinary(); },
         "Expected Binary Data, created None"},
        {"array as table count", [] { (void)TZvComInteger8(1).AsCount(); },
         "Expected Array Length, created 8-Bit Integer"},
    };
    for (const Case &c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const EZvComValueException &e) {
            EXPECT_EQ(e.message(), QString::fromLatin1(c.message)) << c.name;
        }
    }
}

TEST(ZvComValue, DateTimeKeepsItsSevenFieldsAndShowsInTheLocaleForm) {
    const QDateTime when(QDate(2026, 12, 10), QTime(13, 45, 7));
    const TZvComDateTime v(when);
    EXPECT_EQ(v.EncodedSize(), 9u);
    EXPECT_EQ(v.AsDateTime(), when);
    const std::uint8_t *p = v.PayloadBytes();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(p), 8),
              QByteArray("\xEA\x07\x0C\x0A\x0D\x2D\x07\x00", 8));
    EXPECT_EQ(v.AsText(), QLocale::system().toString(when, QLocale::ShortFormat));
}

TEST(ZvComValue, StringWithoutZeroByteYieldsAllItsBytes) {
    const std::uint8_t bytes[] = {'a', 'b', 'c'};
    EXPECT_EQ(TZvComValue::FromWire(zvcString, bytes, 3, false).AsString(), QStringLiteral("abc"));
    const std::uint8_t early[] = {'a', 0, 'c'};
    EXPECT_EQ(TZvComValue::FromWire(zvcString, early, 3, false).AsString(), QStringLiteral("a"));
}

} // namespace

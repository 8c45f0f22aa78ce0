// SPDX-License-Identifier: MIT
#include "NumberEntry.h"
#include "TestSupport.h"

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

TEST(NumberEntry, HashDotHashPattern) {
    const struct {
        double value;
        const char *english;
        const char *german;
    } cases[] = {
        {5, "5", "5"},       {0.5, ".5", ",5"}, {-5, "-5", "-5"},     {2.25, "2.3", "2,3"},
        {12.04, "12", "12"}, {0, "", ""},       {-0.5, "-.5", "-,5"}, {1000.5, "1000.5", "1000,5"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FormatHashDotHash(c.value, English), QLatin1String(c.english)) << c.value;
        EXPECT_EQ(FormatHashDotHash(c.value, German), QLatin1String(c.german)) << c.value;
    }
}

TEST(NumberEntry, ParsingFollowsTheLocaleSeparator) {
    EXPECT_EQ(ParseDecimal(QStringLiteral(" 2.5 "), English), 2.5);
    EXPECT_EQ(ParseDecimal(QStringLiteral("2,5"), German), 2.5);
    EXPECT_EQ(ParseDecimal(QStringLiteral("2.5"), German), std::nullopt);
    EXPECT_EQ(ParseDecimal(QStringLiteral("1,000"), English), std::nullopt) << "no groups";
    EXPECT_EQ(ParseDecimal(QString(), English), std::nullopt);
    EXPECT_EQ(ParseInteger(QStringLiteral("  -12")), -12);
    EXPECT_EQ(ParseInteger(QStringLiteral("12 ")), std::nullopt);
    EXPECT_EQ(ParseInteger(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(ParseInteger(QStringLiteral("2147483648")), std::nullopt);
}

TEST(NumberEntry, RoundingAndShortestText) {
    EXPECT_EQ(RoundHalfEven(2.5, 0), 2);
    EXPECT_EQ(RoundHalfEven(3.5, 0), 4);
    EXPECT_EQ(RoundHalfEven(2.346, 2), 2.35);
    EXPECT_EQ(RoundHalfEven(-1.25, 1), -1.2);
    EXPECT_EQ(ShortestDecimal(2.35, German), QLatin1String("2,35"));
    EXPECT_EQ(ShortestDecimal(1234567.5, English), QLatin1String("1234567.5"));
    EXPECT_EQ(DecimalsAfterSeparator(QStringLiteral("1,250"), QStringLiteral(",")), 3);
    EXPECT_EQ(DecimalsAfterSeparator(QStringLiteral("12"), QStringLiteral(".")), 0);
}

TEST(NumberEntry, GermanSeparatorInTheTypingFilter) {
    const QString sep = QStringLiteral(",");
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("12"), 2, false, QLatin1Char(','), sep, 2));
    EXPECT_FALSE(DecimalKeyAccepted(QStringLiteral("12"), 2, false, QLatin1Char('.'), sep, 2));
    EXPECT_FALSE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, false, QLatin1Char('3'), sep, 2));
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, true, QLatin1Char('3'), sep, 2))
        << "a selection may be replaced";
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, false, QChar(8), sep, 2));
}

} // namespace

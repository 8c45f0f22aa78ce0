// SPDX-License-Identifier: MIT
#include "QuestionFormFixture.h"

#include "EntryQuestionFrm.h"
#include "NumberEntry.h"

#include <QKeyEvent>

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);
const QLocale Arabic(QLocale::Arabic, QLocale::SaudiArabia);

// The dialogs read numbers in the default locale.
class ScopedDefaultLocale {
public:
    explicit ScopedDefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~ScopedDefaultLocale() { QLocale::setDefault(m_old); }
    ScopedDefaultLocale(const ScopedDefaultLocale &) = delete;
    ScopedDefaultLocale &operator=(const ScopedDefaultLocale &) = delete;

private:
    QLocale m_old;
};

// Key presses carrying each character as its text, as a keyboard of any layout sends them.
void typeKeys(QWidget *widget, const QString &keys) {
    for (QChar c : keys) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

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
    EXPECT_EQ(ParseDecimal(QStringLiteral("1,000.5"), English), 1000.5) << "grouped";
    EXPECT_EQ(ParseDecimal(QStringLiteral("1.000,5"), German), 1000.5);
    EXPECT_EQ(ParseDecimal(QStringLiteral("10,00.5"), English), std::nullopt) << "bad groups";
    EXPECT_EQ(ParseDecimal(QStringLiteral("1.5"), QLocale(QLocale::French, QLocale::France)),
              std::nullopt)
        << "a mark that is neither separator";
    EXPECT_EQ(ParseDecimal(QString(), English), std::nullopt);
    EXPECT_EQ(PlainDecimalText(QStringLiteral("1,000.50"), English), QLatin1String("1000.50"));
    EXPECT_EQ(PlainDecimalText(QStringLiteral("1.000,50"), German), QLatin1String("1000,50"));
    EXPECT_EQ(ParseInteger(QStringLiteral("  -12"), English), -12);
    EXPECT_EQ(ParseInteger(QStringLiteral("12 "), English), std::nullopt);
    EXPECT_EQ(ParseInteger(QStringLiteral("2147483647"), English), 2147483647);
    EXPECT_EQ(ParseInteger(QStringLiteral("2147483648"), English), std::nullopt);
    EXPECT_EQ(ParseInteger(QStringLiteral("1,000"), English), 1000);
    EXPECT_EQ(ParseInteger(QStringLiteral("1,000"), German), std::nullopt);
}

// What the dialog itself writes under Arabic: the digits 0-9 with the Arabic decimal separator.
TEST(NumberEntry, ArabicNumbersAreWrittenInTheDigitsZeroToNine) {
    EXPECT_EQ(ShortestDecimal(80.5, Arabic), QStringLiteral("80\u066B5"));
    EXPECT_EQ(ShortestDecimal(-1234567.25, Arabic), QStringLiteral("-1234567\u066B25"));
    EXPECT_EQ(FormatHashDotHash(300.5, Arabic), QStringLiteral("300\u066B5"));
    EXPECT_EQ(ParseDecimal(QStringLiteral("\u0668\u0660\u066B\u0665"), Arabic), 80.5);
    EXPECT_EQ(ParseInteger(QStringLiteral("\u06F4\u06F2"), Arabic), 42);

    ScopedDefaultLocale locale(Arabic);
    FormJob job;
    TQuestion &q = *job.set(FormType::Float).First();
    q.MaxLength = 1;
    q.ValidateMin = 60;
    q.ValidateMax = 300.5;
    job.start();
    auto &form = dynamic_cast<TEntryQuestionForm &>(*job.form);
    typeKeys(form.AnswerEdit, QStringLiteral("\u0664\u0660\u0660"));
    EXPECT_FALSE(form.ValidateAnswers());
    EXPECT_EQ(form.ErrorText(), QStringLiteral("Value can not be more than 300\u066B5"));
    EXPECT_EQ(form.AnswerEdit->text(), QLatin1String("400")) << "shown in 0-9";
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
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("12"), 2, false, QLatin1Char(','), German, 2));
    EXPECT_FALSE(DecimalKeyAccepted(QStringLiteral("1,2"), 3, false, QLatin1Char(','), German, 2))
        << "one separator";
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("12"), 2, false, QLatin1Char('.'), German, 2))
        << "the group separator reaches the text";
    EXPECT_FALSE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, false, QLatin1Char('3'), German, 2));
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, true, QLatin1Char('3'), German, 2))
        << "a selection may be replaced";
    EXPECT_TRUE(DecimalKeyAccepted(QStringLiteral("1,25"), 4, false, QChar(8), German, 2));
    EXPECT_FALSE(DecimalKeyAccepted(QStringLiteral("12"), 2, false, QLatin1Char('x'), German, 2));
}

// What a user types into a number dialog and what the job then holds: the stored answer, or
// the message in the error line with the dialog still open.
TEST(NumberEntry, TypedSeparatorsPerLocale) {
    const QString notANumber = QStringLiteral("Value is not a number");
    const QString notInteger = QStringLiteral("Value is not a whole number");
    const struct {
        const char *name;
        QLocale locale;
        const char *formType;
        QString keys;
        QString answer;  // stored when the dialog moves on
        QString message; // shown instead, the dialog staying
        int maxLength = 2;
    } cases[] = {
        {"en money", English, FormType::Money, "9.50", "9.50", ""},
        {"en comma is no decimal point", English, FormType::Money, "9,50", "", notANumber},
        {"en grouped", English, FormType::Money, "1,000.50", "1000.50", ""},
        {"en badly grouped", English, FormType::Money, "10,00.50", "", notANumber},
        {"en float grouped", English, FormType::Float, "1,000.5", "1000.5", ""},
        {"en integer with a point", English, FormType::Integer, "9.50", "", notInteger},
        {"en integer grouped", English, FormType::Integer, "1,000", "1000", ""},
        {"de money", German, FormType::Money, "9,50", "9,50", ""},
        {"de point is no decimal separator", German, FormType::Money, "9.50", "", notANumber},
        {"de grouped", German, FormType::Money, "1.000,50", "1000,50", ""},
        {"de float", German, FormType::Float, "2,25", "2,25", ""},
        {"ar point", Arabic, FormType::Money, "9.50", QStringLiteral("9\u066B50"), ""},
        {"ar comma", Arabic, FormType::Money, "9,50", QStringLiteral("9\u066B50"), ""},
        {"ar the locale's own separator", Arabic, FormType::Money, QStringLiteral("9\u066B50"),
         QStringLiteral("9\u066B50"), ""},
        {"ar one separator", Arabic, FormType::Money, "9.5,0", QStringLiteral("9\u066B50"), ""},
        {"ar at most MaxLength decimals", Arabic, FormType::Money, "1.234",
         QStringLiteral("1\u066B23"), ""},
        {"ar float in the digits 0-9", Arabic, FormType::Float, "80.5", QStringLiteral("80\u066B5"),
         ""},
        {"ar Arabic-Indic digits", Arabic, FormType::Money, QStringLiteral("\u0669.\u0665\u0660"),
         QStringLiteral("9\u066B50"), ""},
        {"ar extended Arabic-Indic digits", Arabic, FormType::Float,
         QStringLiteral("\u06F8\u06F0.\u06F5"), QStringLiteral("80\u066B5"), ""},
        {"ar integer", Arabic, FormType::Integer, QStringLiteral("\u0664\u0662"), "42", ""},
        {"en Arabic-Indic digits", English, FormType::Integer, QStringLiteral("\u0664\u0662"), "42",
         ""},
        // No decimals allowed: the typed amount is refused, never read as 15.
        {"en money without decimals", English, FormType::Money, "1.5", "", notInteger, 0},
        {"en float without decimals", English, FormType::Float, "1.5", "", notInteger, 0},
        {"de money without decimals", German, FormType::Money, "1,5", "", notInteger, 0},
        {"ar money without decimals", Arabic, FormType::Money, "1.5", "", notInteger, 0},
        {"en whole amount without decimals", English, FormType::Money, "15", "15", "", 0},
    };
    for (const auto &c : cases) {
        ScopedDefaultLocale locale(c.locale);
        FormJob job;
        TQuestion &q = *job.set(c.formType).First();
        q.Mandatory = true;
        q.MaxLength = c.maxLength;
        // The answer as the job ends with it.
        QString answered;
        job.manager.OnFinished = [&](TQuestionManager &) { answered = q.GetAnswer(); };
        job.start();
        auto &form = dynamic_cast<TEntryQuestionForm &>(*job.form);
        typeKeys(form.AnswerEdit, c.keys);
        form.NextBtnClick();
        EXPECT_EQ(form.ErrorText(), c.message) << c.name;
        EXPECT_EQ(answered, c.answer) << c.name;
    }
}

} // namespace

// SPDX-License-Identifier: MIT
#include "Validate.h"
#include "QuestionManager.h"
#include "TestSupport.h"

#include <QLocale>

#include <locale.h>

namespace {

struct ValidationCase {
    const char *name;
    const char *formType;
    double min;
    double max;
    int maxLength;
    bool mandatory;
    QString answer;
    QString error; // empty: the answer passes
};

// Runs every case through ValidateAnswer under the given locale.
void runCases(const QLocale &locale, std::initializer_list<ValidationCase> cases) {
    QLocale::setDefault(locale);
    TQuestionManager manager({QStringLiteral("-Embedding")});
    for (const ValidationCase &c : cases) {
        TQuestion q;
        q.Name = "Q1";
        q.FormType = c.formType;
        q.ValidateMin = c.min;
        q.ValidateMax = c.max;
        q.MaxLength = c.maxLength;
        q.Mandatory = c.mandatory;
        q.Choices = {"<none>", "A", "B"};
        QString error;
        try {
            manager.ValidateAnswer(q, c.answer);
        } catch (const EValidationError &e) {
            error = e.message();
        }
        EXPECT_EQ(error, c.error) << c.name;
    }
    QLocale::setDefault(QLocale::system());
}

const QString NotInteger = "The answer for this question must be an integer value.";
const QString NotFloat = "The answer for this question must be a floating point value.";
const QString NotMoney = "The answer for this question must be a money value.";

TEST(ValidateAnswer, FullStopLocale) {
    runCases(
        QLocale::c(),
        {
            {"integer at the bound", "integerform", 1, 10, 0, false, "10", ""},
            {"integer at the lower bound", "integerform", 1, 10, 0, false, "1", ""},
            {"integer above", "integerform", 1, 10, 0, false, "11",
             "The answer must be between 1 and 10."},
            {"integer bounds truncated", "integerform", 1.9, 10.7, 0, false, "0",
             "The answer must be between 1 and 10."},
            {"integer with decimals", "integerform", 1, 10, 0, false, "2.5", NotInteger},
            {"integer text", "integerform", 1, 10, 0, false, "five", NotInteger},
            {"optional empty integer", "integerform", 1, 10, 0, false, "", ""},
            {"mandatory empty integer", "integerform", 1, 10, 0, true, "",
             "Question: Q1 is mandatory, its answer cannot be empty."},
            {"float too many places", "floatform", 0, 100, 2, false, "3.145",
             "The maximum number of decimal places in the answer is 2."},
            {"float within", "floatform", 0, 100, 2, false, "3.14", ""},
            {"float out of range", "floatform", 0, 100, 2, false, "150",
             "The answer must be between 0.00 and 100.00."},
            {"float below", "floatform", 0, 100, 2, false, "-0.01",
             "The answer must be between 0.00 and 100.00."},
            {"float not a number", "floatform", 0, 100, 2, false, "abc", NotFloat},
            {"float not finite", "floatform", 0, 100, 2, false, "nan", NotFloat},
            {"float grouping is not a number", "floatform", 0, 1e6, 2, false, "1,000", NotFloat},
            {"optional empty float", "floatform", 0, 100, 2, false, "", ""},
            {"money too many places", "moneyform", 0, 100, 0, false, "9.999",
             "The maximum number of decimal places in the answer is 2."},
            {"money within", "moneyform", 0, 100, 0, false, "9.99", ""},
            {"money not a number", "moneyform", 0, 100, 0, false, "9.9x", NotMoney},
            {"money out of range", "moneyform", 0, 5, 0, false, "9.99",
             "The answer must be between 0.00 and 5.00."},
            {"list case-sensitive", "listform", 0, 0, 0, false, "a",
             "Answer:a is not in the list."},
            {"list entry", "listform", 0, 0, 0, false, "B", ""},
            {"string too long", "stringform", 0, 0, 3, false, "abcd",
             "The maximum number of characters in the answer is 3."},
            {"string counts characters", "stringform", 0, 0, 3, false, "äöü", ""},
            {"string max 0 rejects text", "stringform", 0, 0, 0, false, "a",
             "The maximum number of characters in the answer is 0."},
            {"string max -1 rejects all", "stringform", 0, 0, -1, false, "",
             "The maximum number of characters in the answer is -1."},
            {"phone too long", "phonenumberform", 0, 0, 5, false, "123456",
             "The maximum number of characters in the answer is 5."},
            {"button passes anything", "buttonform", 0, 0, -1, false, "zz", ""},
            {"cost center passes anything", "costcenterform", 0, 0, -1, false, "zz", ""},
            {"mandatory checked first", "costcenterform", 0, 0, 0, true, "",
             "Question: Q1 is mandatory, its answer cannot be empty."},
        });
}

// The decimal-places test looks for a full stop whatever the locale; conversions use the
// locale's separator.
TEST(ValidateAnswer, CommaLocale) {
    locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t(nullptr));
    if (!german)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps generates it "
                        "with the Debian package 'locales')";
    freelocale(german);
    runCases(
        QLocale(QLocale::German, QLocale::Germany),
        {
            {"comma decimals pass the places test", "floatform", 0, 100, 2, false, "1,255", ""},
            {"full stop is not a number", "floatform", 0, 100, 2, false, "1.5", NotFloat},
            {"range message uses the comma", "floatform", 0, 100, 2, false, "150",
             "The answer must be between 0,00 and 100,00."},
            {"money comma decimals", "moneyform", 0, 100, 0, false, "9,999", ""},
            {"money full stop places", "moneyform", 0, 100, 0, false, "9.999",
             "The maximum number of decimal places in the answer is 2."},
            {"integer with group separator", "integerform", 0, 5000, 0, false, "1.000", NotInteger},
        });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CurrencyDigits(), 2);
    QLocale::setDefault(QLocale::system());
}

// Limits in messages are written in the digits 0-9 whatever digits the locale writes.
TEST(ValidateAnswer, ArabicLimitsInTheDigitsZeroToNine) {
    runCases(QLocale(QLocale::Arabic, QLocale::SaudiArabia),
             {
                 {"range message", "floatform", 0, 100, 2, false, "150",
                  QStringLiteral("The answer must be between 0\u066B00 and 100\u066B00.")},
                 {"stored answer in 0-9", "floatform", 0, 100, 2, false,
                  QStringLiteral("80\u066B5"), ""},
             });
}

} // namespace

// SPDX-License-Identifier: MIT
#include "ChoiceListModel.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>

namespace {

TChoiceValues valuesOf(const QByteArrayList &list) {
    TChoiceValues values;
    values.Assign(list);
    return values;
}

} // namespace

TEST(LocateChoice, FirstValueBeginningWithTheTextIgnoringCase) {
    const QByteArrayList list = {"<none>",
                                 "Alpha",
                                 "alps",
                                 "Beta",
                                 "----<><>----",
                                 "\xc3\x84rger",
                                 "\xe2\x80\x8f"
                                 "rtl",
                                 "Al"};
    const TChoiceValues values = valuesOf(list);
    const struct {
        const char *name;
        QString text;
        int row;
    } cases[] = {
        {"empty text finds nothing", "", -1},
        {"case ignored", "ALP", 1},
        {"first of several", "al", 1},
        {"whole value", "alps", 2},
        {"longer than every value", "alphabet", -1},
        {"separator is a value like any other", "----", 4},
        {"non-ASCII case folding", QStringLiteral("\u00e4r"), 5},
        {"right-to-left mark is a character", QStringLiteral("\u200fR"), 6},
        {"no match", "x", -1},
        {"the no-answer entry", "<", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LocateChoice(values, c.text), c.row) << c.name;
    EXPECT_EQ(valuesOf({}).Count(), 0);
    EXPECT_EQ(LocateChoice(valuesOf({}), u"a"), -1);
}

TEST(ChoiceValues, KeepsEveryValueWhole) {
    const QByteArray big(1 << 20, 'x');
    const TChoiceValues values = valuesOf({"", "a\r\nb", big, "\x0c", "\xd8\xa7"});
    ASSERT_EQ(values.Count(), 5);
    EXPECT_TRUE(values.At(0).isEmpty());
    EXPECT_EQ(values.At(1), u"a\r\nb");
    EXPECT_EQ(values.At(2).size(), big.size());
    EXPECT_EQ(values.At(3), u"\x0c");
    EXPECT_EQ(values.At(4), QStringView(u"\u0627"));
    EXPECT_TRUE(values.At(5).isNull());
    EXPECT_TRUE(values.At(-1).isNull());
}

TEST(ChoiceListModel, RowsSeparatorAndNoAnswerRow) {
    TChoiceListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    struct Case {
        const char *name;
        QByteArrayList values;
        bool optional;
        int real;
        int firstReal;
    };
    const Case cases[] = {
        {"no values", {}, true, 0, -1},
        {"only separators", {"----<><>----", "----<><>----"}, false, 0, -1},
        {"only the no-answer entry", {"<none>"}, true, 0, -1},
        {"no-answer entry and separator", {"<none>", "----<><>----"}, true, 0, -1},
        {"one real value behind the no-answer entry", {"<none>", "A"}, true, 1, 1},
        {"mandatory: row 0 is a value", {"A", "----<><>----", "B"}, false, 2, 0},
        {"identical values", QByteArrayList(10000, "same"), false, 10000, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model.SetChoices(c.values, c.optional);
        ASSERT_EQ(model.rowCount(), c.values.size());
        EXPECT_EQ(model.RealChoiceCount(), c.real);
        EXPECT_EQ(model.FirstRealChoice(), c.firstReal);
        for (int row = 0; row < std::min<int>(model.rowCount(), 4); ++row) {
            const QModelIndex index = model.index(row);
            EXPECT_EQ(index.data().toString(), QString::fromUtf8(c.values[row]));
            EXPECT_EQ(index.data(Qt::AccessibleTextRole).toString(),
                      QString::fromUtf8(c.values[row]));
            EXPECT_EQ(index.data(TChoiceListModel::SeparatorRole).toBool(),
                      c.values[row] == "----<><>----");
            EXPECT_EQ(index.data(TChoiceListModel::NoAnswerRole).toBool(), c.optional && row == 0);
        }
    }
    EXPECT_EQ(model.Locate(u"SA"), 0);
}

TEST(ChoiceListModel, LocateWhileTypingFindsWhatAFreshSearchFinds) {
    const QByteArrayList list = {"beta", "Alpha", "alps", "Alpine", "BETAMAX", "b"};
    TChoiceListModel model;
    model.SetChoices(list, false);
    const TChoiceValues values = valuesOf(list);
    const char *typed[] = {"a", "al", "alp", "alpi", "alpx",  "alpxy", "alp",
                           "b", "",   "B",   "BE",   "betam", "x",     "a"};
    for (const char *text : typed)
        EXPECT_EQ(model.Locate(QString::fromUtf8(text)),
                  LocateChoice(values, QString::fromUtf8(text)))
            << text;
    model.SetChoices({"zeta"}, false);
    EXPECT_EQ(model.Locate(u"z"), 0) << "new values forget the last search";
}

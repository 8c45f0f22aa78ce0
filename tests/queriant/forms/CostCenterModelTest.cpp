// SPDX-License-Identifier: MIT
// The cost-center grid's model in both modes and the column-width rule.
#include "CostCenterModel.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

namespace {

QStringList rowTexts(const QAbstractItemModel &model, int row) {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.index(row, column).data().toString();
    return texts;
}

} // namespace

TEST(CostCenterModel, SearchRowsAndHistoryCombinations) {
    TCostCenterModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);

    model.SetSearchRows({{"D100", "Sales"}, {"D200", ""}});
    EXPECT_EQ(model.Mode(), TCostCenterModel::cmSearch);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(rowTexts(model, 0), QStringList({"D100", "Sales"}));
    EXPECT_EQ(rowTexts(model, 1), QStringList({"D200", ""}));
    EXPECT_EQ(model.CostCenterAt(1), (TCostCenter{"D200", ""}));
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));

    // The server's counts decide the grid; cells beyond its lists stay empty.
    TCostCenterHistory history;
    history.CountCombinations = 3;
    history.CountCategories = 2;
    history.History = {{{"D200", "Engineering"}, {"P210", "Compiler"}}, {{"D100", "Sales"}}};
    model.SetHistory(history);
    EXPECT_EQ(model.Mode(), TCostCenterModel::cmHistory);
    EXPECT_EQ(model.Levels(), 2);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(rowTexts(model, 0), QStringList({"D200", "Engineering", "P210", "Compiler"}));
    EXPECT_EQ(rowTexts(model, 1), QStringList({"D100", "Sales", "", ""}));
    EXPECT_EQ(rowTexts(model, 2), QStringList({"", "", "", ""}));
    EXPECT_EQ(model.CombinationAt(1), TCostCenterList({{"D100", "Sales"}, {}}));
    EXPECT_TRUE(model.CombinationAt(3).isEmpty());
    EXPECT_EQ(model.CostCenterAt(0, 2), TCostCenter());

    history.CountCombinations = -1;
    history.CountCategories = -2;
    model.SetHistory(history);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    model.SetSearchRows({{"X", "Y"}});
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(CostCenterModel, StoredTextWidthsOnlyGrow) {
    TCostCenterModel model;
    model.SetSearchRows({{"AB", "Four"}, {"A", "Sixteen chars..."}});
    QList<int> stored{5};
    const auto length = [](const QString &text) { return int(text.size()); };
    RaiseColumnTextWidths(stored, model, length);
    EXPECT_EQ(stored, QList<int>({5, 16}));
    model.SetSearchRows({{"ABCDEFG", ""}});
    RaiseColumnTextWidths(stored, model, length);
    EXPECT_EQ(stored, QList<int>({7, 16}));
}

TEST(CostCenterModel, ColumnWidthRule) {
    const struct {
        const char *name;
        QList<int> text;
        int grid;
        QList<int> widths;
    } cases[] = {
        // fixed 44, factor (300 - 44 - 4) / 100 = 2.52
        {"search mode fills the grid", {40, 100}, 300, {44, 261}},
        // fixed 30 + 50, flexible 100 + 50: factor 220 / 150; the last reaches past the edge
        {"two levels share the rest", {26, 100, 46, 50}, 304, {30, 147, 50, 82}},
        {"no descriptions keeps the factor 1", {10, 0, 20, 0}, 500, {14, 4, 24, 463}},
        {"too narrow: descriptions keep 4", {200, 50}, 100, {204, 4}},
        {"one column", {10}, 80, {85}},
        {"no columns", {}, 80, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CostCenterColumnWidths(c.text, c.grid), c.widths) << c.name;
}

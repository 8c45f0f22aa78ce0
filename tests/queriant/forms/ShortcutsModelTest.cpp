// SPDX-License-Identifier: MIT
// The shortcut dialog's list model: function-key labels, renaming a row, and Qt's model checks
// while rows are replaced and renamed.
#include "ShortcutsModel.h"

#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

TEST(ShortcutKeyLabel, FunctionKeysThenBlanks) {
    const struct {
        int index;
        const char *label;
    } cases[] = {
        {0, "F1    "}, {8, "F9    "}, {9, "F10  "}, {10, "        "}, {999, "        "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ShortcutKeyLabel(c.index), QString::fromLatin1(c.label)) << c.index;
}

TEST(ShortcutsModel, RowsShowLabelAndName) {
    TShortcutsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("Client %1").arg(i);
    model.SetNames(names);
    ASSERT_EQ(model.rowCount(), 12);
    EXPECT_EQ(model.data(model.index(0)).toString(), QStringLiteral("F1    Client 1"));
    EXPECT_EQ(model.data(model.index(9)).toString(), QStringLiteral("F10  Client 10"));
    EXPECT_EQ(model.data(model.index(10)).toString(), QStringLiteral("        Client 11"));
    EXPECT_EQ(model.data(model.index(10), TShortcutsModel::NameRole).toString(),
              QStringLiteral("Client 11"));
    EXPECT_EQ(model.data(model.index(1), Qt::AccessibleTextRole).toString(),
              QStringLiteral("F2 Client 2"));
    EXPECT_FALSE(model.data(model.index(12)).isValid());

    // Renaming touches one row only; an unchanged name or a row out of range signals nothing.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetName(3, QStringLiteral("Office \"A\", Zürich"));
    model.SetName(3, QStringLiteral("Office \"A\", Zürich"));
    model.SetName(12, QStringLiteral("nobody"));
    model.SetName(-1, QStringLiteral("nobody"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 3);
    EXPECT_EQ(model.data(model.index(3)).toString(), QStringLiteral("F4    Office \"A\", Zürich"));

    model.SetNames({});
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace

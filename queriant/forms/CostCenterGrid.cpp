// SPDX-License-Identifier: MIT
#include "CostCenterGrid.h"

#include "DrawAlignedText.h"
#include "Log.h"

#include <QAbstractItemView>
#include <QPainter>

#include <cmath>

QList<int> CostCenterColumnWidths(const QList<int> &measured, int gridWidth) {
    int fixed = 0;
    int flexible = 0;
    for (qsizetype j = 0; j < measured.size(); ++j) {
        if (j % 2 == 0)
            fixed += measured[j] + 4;
        else
            flexible += measured[j];
    }
    const double factor = flexible == 0 ? 1.0 : double(gridWidth - fixed - 4) / flexible;
    QList<int> widths(measured.size());
    for (qsizetype j = 0; j < measured.size(); ++j)
        widths[j] = j % 2 == 0 ? std::max(measured[j] + 4, 4)
                               : std::max(4, int(std::lround(measured[j] * factor)));
    if (!widths.isEmpty()) {
        int before = 0;
        for (qsizetype j = 0; j + 1 < widths.size(); ++j)
            before += widths[j];
        if (before < gridWidth)
            widths.last() = gridWidth - before + 5;
    }
    return widths;
}

QString ShortcutPaneText(int row, const QByteArray &id, const QString &name, bool rightToLeft) {
    bool isNumber = false;
    const int value = id.trimmed().toInt(&isNumber);
    const bool marked = (isNumber ? value : 11) < 10;
    const QString key = QStringLiteral("F%1").arg(row + 1);
    const QString blanks(8, QLatin1Char(' '));
    if (rightToLeft)
        return marked ? name + QStringLiteral("  ") + key : name + blanks;
    return marked ? key + QStringLiteral("  ") + name : blanks + name;
}

// ---- The data grid's model ------------------------------------------------------------------

void TCostCenterGridModel::SetSearchRows(const TCostCenterList &rows) {
    beginResetModel();
    m_history = false;
    m_levels = 1;
    m_rows = rows;
    m_combinations.clear();
    endResetModel();
}

void TCostCenterGridModel::SetHistory(const TCostCenterHistory &history) {
    beginResetModel();
    m_history = true;
    m_levels = std::max(1, history.CountCategories);
    m_rows.clear();
    m_combinations = history.History.mid(0, std::max(0, history.CountCombinations));
    endResetModel();
}

void TCostCenterGridModel::Clear() {
    SetSearchRows({});
}

TCostCenter TCostCenterGridModel::Item(int row, int level) const {
    if (row < 0 || level < 0)
        return {};
    if (!m_history)
        return level == 0 ? m_rows.value(row) : TCostCenter{};
    return m_combinations.value(row).value(level);
}

bool TCostCenterGridModel::CellText(int row, int column, QString &text) const {
    const int level = column / 2;
    if (row < 0 || column < 0 || column >= columnCount())
        return false;
    if (m_history) {
        if (row >= m_combinations.size() || level >= m_combinations[row].size())
            return false;
    } else if (row >= m_rows.size()) {
        return false;
    }
    const TCostCenter item = Item(row, level);
    text = column % 2 == 0 ? item.Code : item.Description;
    return true;
}

int TCostCenterGridModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    return int(m_history ? m_combinations.size() : m_rows.size());
}

int TCostCenterGridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 2 * m_levels;
}

QVariant TCostCenterGridModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    QString text;
    if (!CellText(index.row(), index.column(), text))
        return {};
    return text;
}

// ---- Painting --------------------------------------------------------------------------------

TCostCenterGridDelegate::TCostCenterGridDelegate(const TGridColors &colors, QObject *parent)
    : QStyledItemDelegate(parent), m_colors(colors) {}

void TCostCenterGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const {
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const bool current = view && view->currentIndex().row() == index.row();
    const bool focused = view && view->hasFocus();
    QColor background = index.row() % 2 == 1 ? m_colors.Odd : m_colors.Even;
    if (current && focused)
        background = m_colors.Selected;
    painter->fillRect(option.rect, background);

    QString text;
    const auto *grid = qobject_cast<const TCostCenterGridModel *>(index.model());
    if (grid) {
        if (!grid->CellText(index.row(), index.column(), text)) {
            if (!grid->HistoryMode())
                LogError("OnDrawCell- RowCount: %D ARow: %D NameList.Count: %D DescrList.Count: "
                         "%D",
                         grid->rowCount(), index.row(), int(grid->SearchRows().size()),
                         int(grid->SearchRows().size()));
            return;
        }
    } else {
        text = index.data().toString();
    }
    painter->save();
    painter->setFont(option.font);
    painter->setPen(Qt::black);
    const bool rightAligned = m_rightToLeft && grid && !grid->HistoryMode();
    const QRect inner =
        rightAligned ? option.rect.adjusted(0, 0, -4, 0) : option.rect.adjusted(4, 0, 0, 0);
    DrawAlignedText(*painter, inner, rightAligned ? taRightJustify : taLeftJustify, true, false,
                    false, text, vtMiddle);
    painter->restore();
}

// ---- The shortcuts pane's model --------------------------------------------------------------

void TShortcutPaneModel::SetTexts(const QStringList &texts) {
    beginResetModel();
    m_texts = texts;
    endResetModel();
}

int TShortcutPaneModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_texts.size());
}

QVariant TShortcutPaneModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_texts.size() ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return m_texts[index.row()];
}

// SPDX-License-Identifier: MIT
#include "CostCenterModel.h"

#include <algorithm>
#include <cmath>

TCostCenterModel::TCostCenterModel(QObject *parent) : QAbstractTableModel(parent) {}

void TCostCenterModel::SetSearchRows(const TCostCenterList &rows) {
    beginResetModel();
    m_mode = cmSearch;
    m_levels = 1;
    m_rows.clear();
    for (const TCostCenter &row : rows)
        m_rows.append({row});
    m_rowCount = int(m_rows.size());
    endResetModel();
}

void TCostCenterModel::SetHistory(const TCostCenterHistory &history) {
    beginResetModel();
    m_mode = cmHistory;
    // Counts come from the server: a negative one shows nothing.
    m_levels = std::max(0, history.CountCategories);
    m_rowCount = std::max(0, history.CountCombinations);
    m_rows = history.History;
    endResetModel();
}

void TCostCenterModel::Clear() {
    beginResetModel();
    m_rows.clear();
    m_rowCount = 0;
    endResetModel();
}

TCostCenter TCostCenterModel::CostCenterAt(int row, int level) const {
    if (row < 0 || row >= m_rowCount || level < 0 || level >= m_levels)
        return {};
    return m_rows.value(row).value(level);
}

TCostCenterList TCostCenterModel::CombinationAt(int row) const {
    TCostCenterList combination;
    if (row < 0 || row >= m_rowCount)
        return combination;
    for (int level = 0; level < m_levels; ++level)
        combination.append(CostCenterAt(row, level));
    return combination;
}

int TCostCenterModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int TCostCenterModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 2 * m_levels;
}

QVariant TCostCenterModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    const TCostCenter cell = CostCenterAt(index.row(), index.column() / 2);
    return index.column() % 2 == 0 ? cell.Code : cell.Description;
}

Qt::ItemFlags TCostCenterModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RaiseColumnTextWidths(QList<int> &stored, const QAbstractItemModel &model,
                           const std::function<int(const QString &)> &textWidth) {
    const int columns = model.columnCount();
    if (stored.size() < columns)
        stored.resize(columns, 0);
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < columns; ++column) {
            const QString text = model.index(row, column).data().toString();
            stored[column] = std::max(stored[column], textWidth(text));
        }
    }
}

QList<int> CostCenterColumnWidths(const QList<int> &textWidths, int gridWidth) {
    const qsizetype count = textWidths.size();
    double fixed = 0;
    double flexible = 0;
    for (qsizetype j = 0; j < count; ++j) {
        if (j % 2 == 0)
            fixed += textWidths[j] + 4;
        else
            flexible += textWidths[j];
    }
    const double factor = flexible == 0 ? 1.0 : (gridWidth - fixed - 4) / flexible;
    QList<int> widths(count);
    for (qsizetype j = 0; j < count; ++j) {
        if (j % 2 == 0)
            widths[j] = std::max(textWidths[j] + 4, 4);
        else
            widths[j] = std::max(4, int(std::lround(textWidths[j] * factor)));
    }
    if (count > 0) {
        int before = 0;
        for (qsizetype j = 0; j + 1 < count; ++j)
            before += widths[j];
        if (before < gridWidth)
            widths[count - 1] = gridWidth - before + 5;
    }
    return widths;
}

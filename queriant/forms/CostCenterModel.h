// SPDX-License-Identifier: MIT
// The rows of the cost-center dialog's data grid: in search mode the codes of the active level
// (code, description), in history mode the user's recent combinations (code and description
// of every level side by side). The model only holds values; the grid draws them.
#pragma once

#include "CostCenter.h"

#include <QAbstractTableModel>
#include <QList>

#include <functional>

class TCostCenterModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TMode { cmSearch, cmHistory };

    explicit TCostCenterModel(QObject *parent = nullptr);

    // Search mode over one level's codes: column 0 the code, column 1 the description.
    void SetSearchRows(const TCostCenterList &rows);
    // History mode: CountCombinations rows of 2 x CountCategories columns; column 2k is the
    // code and 2k+1 the description of level k. A cell beyond the server's lists stays empty.
    void SetHistory(const TCostCenterHistory &history);
    void Clear();

    TMode Mode() const { return m_mode; }
    // Levels shown side by side: 1 in search mode.
    int Levels() const { return m_levels; }
    // The cost center of a level in a row; empty beyond the lists.
    TCostCenter CostCenterAt(int row, int level = 0) const;
    // A history row's cost center per level, first level first (search mode: the row's one).
    TCostCenterList CombinationAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    TMode m_mode = cmSearch;
    int m_levels = 1;
    int m_rowCount = 0;
    QList<TCostCenterList> m_rows;
};

// Raises each stored width to the widest display text of its column, measured by textWidth;
// a width only ever grows. stored takes one entry per column of the model.
void RaiseColumnTextWidths(QList<int> &stored, const QAbstractItemModel &model,
                           const std::function<int(const QString &)> &textWidth);

// Column widths of the data grid from the stored text widths: code columns (even) get their
// text width plus 4; description columns (odd) share the rest of the grid in proportion to
// their text widths; no column is narrower than 4, and a last column that leaves the grid
// unfilled reaches 5 pixels past its right edge.
QList<int> CostCenterColumnWidths(const QList<int> &textWidths, int gridWidth);

// SPDX-License-Identifier: MIT
// The grids of the cost-center dialog: the data grid (one level's codes, or the user's recent
// combinations of every level) and the shortcuts pane, each a small model over value rows
// with a delegate that paints rows in the dialog's colours.
#pragma once

#include "CostCenter.h"

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>

// Column widths from the widest text of each column: even columns (codes) keep their width
// plus an inset, odd columns (descriptions) share what is left of the grid in proportion;
// the last column reaches past the right edge when the others leave room.
QList<int> CostCenterColumnWidths(const QList<int> &measured, int gridWidth);

// The text of a shortcuts-pane row: the function-key mark in front of the name (after it
// right to left) while the shortcut's ID is below 10, else eight blanks.
QString ShortcutPaneText(int row, const QByteArray &id, const QString &name, bool rightToLeft);

class TCostCenterGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Search mode: code and description of one level.
    void SetSearchRows(const TCostCenterList &rows);
    // History mode: code and description of each level per combination.
    void SetHistory(const TCostCenterHistory &history);
    void Clear();

    bool HistoryMode() const { return m_history; }
    int Levels() const { return m_levels; }
    // The cost center of a row at a level (level 0 in search mode); empty beyond the lists.
    TCostCenter Item(int row, int level) const;
    const TCostCenterList &SearchRows() const { return m_rows; }
    // The cell's text; false when the row or level lies beyond the lists.
    bool CellText(int row, int column, QString &text) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    bool m_history = false;
    int m_levels = 1;
    TCostCenterList m_rows;
    QList<TCostCenterList> m_combinations;
};

struct TGridColors {
    QColor Odd = QColor(0xFF, 0xFF, 0xFF);
    QColor Even = QColor(0xEE, 0xED, 0xEA);
    QColor Selected = QColor(0xFF, 0xCC, 0x9A);
};

// Paints a row of either grid: background by parity, the selected colour for the current
// row while the view has the focus, black single-line text inset 4 pixels.
class TCostCenterGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    TCostCenterGridDelegate(const TGridColors &colors, QObject *parent);

    void SetRightToLeft(bool on) { m_rightToLeft = on; }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    const TGridColors &m_colors;
    bool m_rightToLeft = false;
};

class TShortcutPaneModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void SetTexts(const QStringList &texts);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_texts;
};

// SPDX-License-Identifier: MIT
// The painting of the cost-center dialog's grids (the data grid over TCostCenterModel and the
// shortcuts pane over its own small model of row texts), in the dialog's colours.
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QStringList>
#include <QStyledItemDelegate>

// The text of a shortcuts-pane row: the function-key mark in front of the name (after it
// right to left) while the shortcut's ID is below 10, else eight blanks.
QString ShortcutPaneText(int row, const QByteArray &id, const QString &name, bool rightToLeft);

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

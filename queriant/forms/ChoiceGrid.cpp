// SPDX-License-Identifier: MIT
#include "ChoiceGrid.h"

#include "ChoiceListModel.h"
#include "DrawAlignedText.h"
#include "FormLook.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Longer values are cut before drawing: a row shows a few hundred characters at most, and
// measuring a huge value for its ellipsis would stall every repaint.
constexpr qsizetype DrawnCharacters = 1024;

class TChoiceRowDelegate : public QStyledItemDelegate {
public:
    explicit TChoiceRowDelegate(TChoiceGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const int row = index.row();
        QColor background = row % 2 ? FormLook::GridRowColor() : FormLook::GridAltRowColor();
        if (row == m_grid->CurrentRow() && m_grid->Highlighted && m_grid->Highlighted(row))
            background = FormLook::GridCurrentRowColor();
        const QRect r = option.rect;
        painter->save();
        painter->fillRect(r, background);
        painter->setPen(Qt::black);
        if (index.data(TChoiceListModel::SeparatorRole).toBool()) {
            const int y = r.top() + r.height() / 2;
            painter->drawLine(r.left(), y, r.right(), y);
        } else {
            const TChoiceListModel *model = m_grid->ChoiceModel();
            const QString text = model->Values().At(row).left(DrawnCharacters).toString();
            const bool rtl = m_grid->RightToLeftText();
            const QRect textRect = r.adjusted(4, 0, rtl ? -4 : 0, 0);
            DrawAlignedText(*painter, textRect, rtl ? taRightJustify : taLeftJustify, true, false,
                            false, text, vtMiddle);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
        return {TChoiceGrid::ColumnWidth, TChoiceGrid::RowHeight};
    }

private:
    TChoiceGrid *m_grid;
};

} // namespace

TChoiceGrid::TChoiceGrid(QWidget *parent) : QListView(parent) {
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new TChoiceRowDelegate(this));
    setFrameShape(QFrame::StyledPanel);
    setAutoScroll(false);
}

void TChoiceGrid::SetChoiceModel(TChoiceListModel *model) {
    m_model = model;
    setModel(model);
}

void TChoiceGrid::SetRightToLeftText(bool on) {
    m_rightToLeft = on;
    viewport()->update();
}

int TChoiceGrid::CurrentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void TChoiceGrid::SetCurrentRow(int row) {
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    m_settingRow = true;
    selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    m_settingRow = false;
}

int TChoiceGrid::TopRow() const {
    return verticalScrollBar()->value();
}

void TChoiceGrid::SetTopRow(int row) {
    verticalScrollBar()->setValue(row);
}

int TChoiceGrid::VisibleRowCount() const {
    return viewport()->height() / RowHeight;
}

void TChoiceGrid::keyPressEvent(QKeyEvent *event) {
    if (KeyFilter && KeyFilter(event)) {
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void TChoiceGrid::mouseReleaseEvent(QMouseEvent *event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton &&
        viewport()->rect().contains(event->position().toPoint()))
        emit released();
}

void TChoiceGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QListView::currentChanged(current, previous);
    if (m_settingRow || !current.isValid())
        return;
    // The selection follows the current row, also when the keys moved it.
    if (!selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    emit rowSelected(current.row());
}

// SPDX-License-Identifier: MIT
#include "CostCenterGrid.h"

#include "CostCenterModel.h"
#include "DrawAlignedText.h"
#include "Log.h"

#include <QAbstractItemView>
#include <QPainter>

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

    const auto *grid = qobject_cast<const TCostCenterModel *>(index.model());
    const bool search = grid && grid->Mode() == TCostCenterModel::cmSearch;
    if (index.row() >= index.model()->rowCount()) {
        if (search)
            LogError("OnDrawCell- RowCount: %D ARow: %D NameList.Count: %D DescrList.Count: %D",
                     grid->rowCount(), index.row(), grid->rowCount(), grid->rowCount());
        return;
    }
    const QString text = index.data().toString();
    painter->save();
    painter->setFont(option.font);
    painter->setPen(Qt::black);
    const bool rightAligned = m_rightToLeft && search;
    // The last column reaches past the grid's edge, which is its left edge when the grid reads
    // right to left: the inset counts from what can be seen.
    const QRect cell = view ? option.rect & view->viewport()->rect() : option.rect;
    const QRect inner = rightAligned ? cell.adjusted(0, 0, -4, 0) : cell.adjusted(4, 0, 0, 0);
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

// SPDX-License-Identifier: MIT
#include "ShortcutsModel.h"

#include "DrawAlignedText.h"

#include <QPainter>

QString ShortcutKeyLabel(int index) {
    if (index >= 0 && index <= 8)
        return QStringLiteral("F%1    ").arg(index + 1);
    if (index == 9)
        return QStringLiteral("F10  ");
    return QString(8, QLatin1Char(' '));
}

TShortcutsModel::TShortcutsModel(QObject *parent) : QAbstractListModel(parent) {}

void TShortcutsModel::SetNames(const QStringList &names) {
    beginResetModel();
    m_names = names;
    endResetModel();
}

void TShortcutsModel::SetName(int row, const QString &name) {
    if (row < 0 || row >= m_names.size() || m_names[row] == name)
        return;
    m_names[row] = name;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
}

int TShortcutsModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant TShortcutsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.parent().isValid() || index.row() >= m_names.size())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return ShortcutKeyLabel(row) + m_names[row];
    case Qt::AccessibleTextRole:
        return row <= 9 ? QStringLiteral("F%1 %2").arg(row + 1).arg(m_names[row]) : m_names[row];
    case NameRole:
        return m_names[row];
    case KeyLabelRole:
        return ShortcutKeyLabel(row);
    default:
        return {};
    }
}

void TShortcutItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->fillRect(option.rect,
                      option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setFont(option.font);
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const TAlignment alignment =
        option.direction == Qt::RightToLeft ? taRightJustify : taLeftJustify;
    DrawAlignedText(*painter, option.rect.adjusted(2, 0, -2, 0), alignment,
                    option.state & QStyle::State_Enabled, false, false,
                    index.data(Qt::DisplayRole).toString(), vtMiddle);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(
            QPen(option.palette.color(group, QPalette::HighlightedText), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize TShortcutItemDelegate::sizeHint(const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const {
    return {option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4,
            option.fontMetrics.height() + 2};
}

// SPDX-License-Identifier: MIT
// The shortcut dialog's list: one row per saved shortcut in store order, each shown as its
// function-key label followed by its name. The rows are plain names; the dialog refills them
// from the shortcut store whenever the store's list changes.
#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QStyledItemDelegate>

// The label in front of entry index: "F1" to "F9" with four blanks, "F10" with two, and eight
// blanks for every later entry (only the first ten have a function key).
QString ShortcutKeyLabel(int index);

class TShortcutsModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        NameRole = Qt::UserRole + 1, // the shortcut's name alone
        KeyLabelRole,                // the function-key label alone
    };

    explicit TShortcutsModel(QObject *parent = nullptr);

    // Replaces every row.
    void SetNames(const QStringList &names);
    // Renames one row; the other rows and the selection stay.
    void SetName(int row, const QString &name);
    const QStringList &Names() const { return m_names; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_names;
};

// Paints a list row with DrawAlignedText in the view's font, justified to the reading side.
class TShortcutItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

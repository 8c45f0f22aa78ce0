// SPDX-License-Identifier: MIT
// The values of a choice list as the list dialogs show them: one row per value, the separator
// entry that is drawn as a line and never becomes the answer, and row 0 of an optional
// question, which stands for no answer. Values are kept as one UTF-16 buffer with the end of
// each value, so that a long list costs little more than its text.
#pragma once

#include <QAbstractListModel>
#include <QByteArrayList>
#include <QString>
#include <QStringView>

#include <vector>

// The entry that separates groups of values.
inline constexpr QStringView ChoiceSeparator = u"----<><>----";

class TChoiceValues {
public:
    void Assign(const QByteArrayList &utf8Values);
    int Count() const { return int(m_ends.size()); }
    QStringView At(int i) const;
    // The case-folded first character of value i, or 0 when it tells nothing (an empty value,
    // a surrogate): a quick first test for LocateChoice.
    char16_t FirstKey(int i) const { return m_firstKeys[size_t(i)]; }
    static char16_t KeyOf(QStringView text);

private:
    QString m_text;
    std::vector<quint32> m_ends;
    std::vector<char16_t> m_firstKeys;
};

// First value from row `from` on that begins with text, ignoring case; -1 when none does or
// text is empty.
int LocateChoice(const TChoiceValues &values, QStringView text, int from = 0);

class TChoiceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { SeparatorRole = Qt::UserRole + 1, NoAnswerRole };

    explicit TChoiceListModel(QObject *parent = nullptr);

    // optional: row 0 is the no-answer row (the loader puts its entry there).
    void SetChoices(const QByteArrayList &values, bool optional);
    const TChoiceValues &Values() const { return m_values; }

    QString Value(int row) const;
    bool IsSeparator(int row) const;
    bool IsNoAnswerRow(int row) const;
    // Rows that may become the answer: neither a separator nor the no-answer row.
    bool IsRealChoice(int row) const;
    int RealChoiceCount() const;
    int FirstRealChoice() const;
    // LocateChoice over the values; typing on continues from the row found last.
    int Locate(QStringView text) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    TChoiceValues m_values;
    bool m_optional = false;
    mutable QString m_lastText;
    mutable int m_lastRow = -1;
};

// SPDX-License-Identifier: MIT
#include "ChoiceListModel.h"

#include "ZvError.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>

void TChoiceValues::Assign(const QByteArrayList &utf8Values) {
    qsizetype bytes = 0;
    for (const QByteArray &value : utf8Values)
        bytes += value.size();
    if (bytes > qsizetype(std::numeric_limits<quint32>::max()))
        throw zv::ZvError(QStringLiteral("The list of choices is too long"));
    // A UTF-8 text never has fewer bytes than UTF-16 units; each value is decoded straight
    // into the buffer, on its own (a broken sequence does not reach into the next value).
    QString text(bytes, Qt::Uninitialized);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    std::vector<quint32> ends;
    ends.reserve(utf8Values.size());
    std::vector<char16_t> keys;
    keys.reserve(utf8Values.size());
    QChar *const begin = text.data();
    QChar *out = begin;
    for (const QByteArray &value : utf8Values) {
        QChar *const start = out;
        out = decoder.appendToBuffer(out, value);
        ends.push_back(quint32(out - begin));
        keys.push_back(KeyOf(QStringView(start, out)));
    }
    text.resize(out - begin);
    text.squeeze();
    m_text = std::move(text);
    m_ends = std::move(ends);
    m_firstKeys = std::move(keys);
}

char16_t TChoiceValues::KeyOf(QStringView text) {
    if (text.isEmpty() || text.front().isSurrogate())
        return 0;
    return QChar::toCaseFolded(text.front().unicode());
}

QStringView TChoiceValues::At(int i) const {
    if (i < 0 || i >= Count())
        return {};
    const quint32 begin = i == 0 ? 0 : m_ends[size_t(i) - 1];
    return QStringView(m_text).mid(begin, m_ends[size_t(i)] - begin);
}

int LocateChoice(const TChoiceValues &values, QStringView text, int from) {
    if (text.isEmpty())
        return -1;
    const int n = values.Count();
    const char16_t key = TChoiceValues::KeyOf(text);
    for (int i = std::max(from, 0); i < n; ++i) {
        const char16_t first = values.FirstKey(i);
        if (key && first && first != key)
            continue;
        if (values.At(i).startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

TChoiceListModel::TChoiceListModel(QObject *parent) : QAbstractListModel(parent) {}

void TChoiceListModel::SetChoices(const QByteArrayList &values, bool optional) {
    beginResetModel();
    m_values.Assign(values);
    m_optional = optional;
    m_lastText.clear();
    m_lastRow = -1;
    endResetModel();
}

// A value that begins with the longer text also begins with the shorter one, so the first
// match of the longer text is not before the first match of the shorter.
int TChoiceListModel::Locate(QStringView text) const {
    if (text.isEmpty())
        return -1;
    int from = 0;
    const bool continues = !m_lastText.isEmpty() && text.size() >= m_lastText.size() &&
                           text.startsWith(m_lastText, Qt::CaseInsensitive);
    if (continues && m_lastRow < 0)
        return -1;
    if (continues)
        from = m_lastRow;
    const int row = LocateChoice(m_values, text, from);
    m_lastText = text.toString();
    m_lastRow = row;
    return row;
}

QString TChoiceListModel::Value(int row) const {
    return m_values.At(row).toString();
}

bool TChoiceListModel::IsSeparator(int row) const {
    return row >= 0 && row < m_values.Count() && m_values.At(row) == ChoiceSeparator;
}

bool TChoiceListModel::IsNoAnswerRow(int row) const {
    return m_optional && row == 0 && m_values.Count() > 0;
}

bool TChoiceListModel::IsRealChoice(int row) const {
    return row >= 0 && row < m_values.Count() && !IsSeparator(row) && !IsNoAnswerRow(row);
}

int TChoiceListModel::RealChoiceCount() const {
    int count = 0;
    for (int row = 0; row < m_values.Count(); ++row)
        count += IsRealChoice(row) ? 1 : 0;
    return count;
}

int TChoiceListModel::FirstRealChoice() const {
    for (int row = 0; row < m_values.Count(); ++row) {
        if (IsRealChoice(row))
            return row;
    }
    return -1;
}

int TChoiceListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_values.Count();
}

QVariant TChoiceListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return Value(index.row());
    case SeparatorRole:
        return IsSeparator(index.row());
    case NoAnswerRole:
        return IsNoAnswerRow(index.row());
    default:
        return {};
    }
}

Qt::ItemFlags TChoiceListModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

// SPDX-License-Identifier: MIT
#include "ShortCutManager.h"

#include "CostCenterServices.h"
#include "Log.h"
#include "ResourceStrings.h"
#include "SimpleTranslator.h"
#include "ZvRegistry.h"

#include <algorithm>

namespace {

QByteArray fourDigits(int position) {
    return QByteArray::number(position).rightJustified(4, '0');
}

void padTo(QByteArrayList &list, qsizetype count) {
    while (list.size() < count)
        list.append(QByteArray());
}

} // namespace

// ---- TShortCutDef ----------------------------------------------------------------------------

void TShortCutDef::SetCodes(const QByteArrayList &codes) {
    m_codes = codes;
    m_modified = true;
}

void TShortCutDef::SetDescriptions(const QByteArrayList &descriptions) {
    m_descriptions = descriptions;
    m_modified = true;
}

void TShortCutDef::SetCode(int level, const QByteArray &code) {
    padTo(m_codes, level + 1);
    m_codes[level] = code;
    m_modified = true;
}

void TShortCutDef::SetDescription(int level, const QByteArray &description) {
    padTo(m_descriptions, level + 1);
    m_descriptions[level] = description;
    m_modified = true;
}

void TShortCutDef::SetName(const QByteArray &name) {
    if (name != m_name)
        m_modified = true;
    m_name = name;
}

void TShortCutDef::Clear() {
    m_name.clear();
    m_id.clear();
    m_codes.clear();
    m_descriptions.clear();
    m_modified = true;
}

bool TShortCutDef::IsEmpty() const {
    return m_codes.join().isEmpty() && m_descriptions.join().isEmpty();
}

QByteArray QuoteShortcutItem(const QByteArray &item) {
    QByteArray quoted = item;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray TShortCutDef::Serialise() const {
    QByteArrayList items{QuoteShortcutItem(m_id)};
    const qsizetype levels = std::min(m_codes.size(), m_descriptions.size());
    for (qsizetype i = 0; i < levels; ++i)
        items << QuoteShortcutItem(m_codes[i]) << QuoteShortcutItem(m_descriptions[i]);
    return items.join(',');
}

QString TShortCutDef::DisplayText() const {
    QStringList levels;
    for (qsizetype i = 0; i < m_codes.size(); ++i) {
        const QByteArray description = i < m_descriptions.size() ? m_descriptions[i] : QByteArray();
        levels << QString::fromUtf8(m_codes[i] + ' ' + description);
    }
    if (!RightToLeftLayout())
        return levels.join(QStringLiteral(" / "));
    std::reverse(levels.begin(), levels.end());
    return levels.join(QStringLiteral(" \\ "));
}

std::unique_ptr<TShortCutDef> ParseShortcut(const QByteArray &name, const QString &data) {
    const QStringList items = SplitCommaText(data);
    auto shortcut = std::make_unique<TShortCutDef>();
    shortcut->SetName(name);
    QByteArrayList codes, descriptions;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QByteArray item = items[i].toUtf8();
        if (i == 0)
            shortcut->SetID(item);
        else if (i % 2 == 1)
            codes << item;
        else
            descriptions << item;
    }
    shortcut->SetCodes(codes);
    shortcut->SetDescriptions(descriptions);
    shortcut->SetModified(false);
    return shortcut;
}

// ---- TShortCutManager ------------------------------------------------------------------------

TShortCutManager::TShortCutManager(TFindUserCodes findUserCodes)
    : m_findUserCodes(std::move(findUserCodes)) {}

TShortCutManager::~TShortCutManager() = default;

void TShortCutManager::Load() {
    Clear();
    const auto key =
        zv::ZvRegKey::open(zv::RegRoot::CurrentUser, QString::fromLatin1(ShortcutsKeyName));
    if (!key)
        return;
    const QStringList names = key->valueNames();
    LogInfo("ShortCutManager lNameList.count =%D", int(names.size()));
    for (const QString &name : names) {
        const QString data = key->readString(name).value_or(QString());
        m_items.push_back(ParseShortcut(name.toUtf8(), data));
    }
}

// The key is replaced in one write, so a failure leaves the saved shortcuts as they were.
void TShortCutManager::Save() {
    QList<std::pair<QString, zv::RegValue>> values;
    for (int i = 0; i < Count(); ++i) {
        TShortCutDef &shortcut = *m_items[size_t(i)];
        shortcut.SetID(fourDigits(i));
        values.append({QString::fromUtf8(shortcut.Name()),
                       zv::RegValue::string(QString::fromUtf8(shortcut.Serialise()))});
    }
    try {
        zv::ZvRegKey::rewrite(zv::RegRoot::CurrentUser, QString::fromLatin1(ShortcutsKeyName),
                              values);
    } catch (const zv::ZvError &e) {
        LogError("shortcutmanager.save failed: %s", e.message());
        throw zv::ZvError(QStringLiteral(
            "Failed to open read/write registry HKEY_CURRENT_USER\\SOFTWARE\\Zorvant\\Popup "
            "Client\\shortcuts"));
    }
    LogInfo("shortcutmanager.save Key opened");
    LogInfo("shortcutmanager shortcutcount %D", Count());
    for (const auto &shortcut : m_items)
        shortcut->SetModified(false);
}

TShortCutDef *TShortCutManager::AddNew() {
    m_items.push_back(std::make_unique<TShortCutDef>());
    TShortCutDef *shortcut = m_items.back().get();
    shortcut->SetName(
        (LoadResString(Res::SDefaultShortcutPrefix) + QString::number(Count())).toUtf8());
    shortcut->SetID(fourDigits(Count() - 1));
    return shortcut;
}

void TShortCutManager::Remove(TShortCutDef *shortcut) {
    const int i = IndexOf(shortcut);
    if (i >= 0)
        m_items.erase(m_items.begin() + i);
}

int TShortCutManager::IndexOf(const TShortCutDef *shortcut) const {
    for (int i = 0; i < Count(); ++i) {
        if (m_items[size_t(i)].get() == shortcut)
            return i;
    }
    return -1;
}

int TShortCutManager::MoveUp(TShortCutDef *shortcut) {
    const int i = IndexOf(shortcut);
    if (i <= 0)
        return i;
    std::swap(m_items[size_t(i)], m_items[size_t(i - 1)]);
    return i - 1;
}

int TShortCutManager::MoveDown(TShortCutDef *shortcut) {
    const int i = IndexOf(shortcut);
    if (i < 0 || i >= Count() - 1)
        return i;
    std::swap(m_items[size_t(i)], m_items[size_t(i + 1)]);
    return i + 1;
}

void TShortCutManager::Clear() {
    m_items.clear();
}

TShortCutDef *TShortCutManager::Item(int i) const {
    return i >= 0 && i < Count() ? m_items[size_t(i)].get() : nullptr;
}

void TShortCutManager::ValidateShortcut(TShortCutDef &shortcut, const TQuestionSet &set) const {
    for (int level = 0; level < set.Count(); ++level) {
        if (level >= shortcut.Codes().size())
            shortcut.SetCode(level, QByteArray());
        if (level >= shortcut.Descriptions().size())
            shortcut.SetDescription(level, QByteArray());
    }
    for (int level = 0; level < set.Count(); ++level) {
        const TQuestion &question = *set.Question(level);
        const QString code = QString::fromUtf8(shortcut.Codes()[level]);
        const QString parent =
            level > 0 ? QString::fromUtf8(shortcut.Codes()[level - 1]) : QString();
        const TCostCenterList found =
            m_findUserCodes ? m_findUserCodes(question.Code, parent, code, 25) : TCostCenterList();
        const auto match = std::find_if(found.begin(), found.end(), [&](const TCostCenter &c) {
            return c.Code.compare(code, Qt::CaseInsensitive) == 0;
        });
        if (match == found.end())
            throw zv::ZvError(
                FormatResText(LoadResString(Res::SShortcutInvalid),
                              {QString::fromUtf8(shortcut.Name()), code, question.Code}));
        shortcut.SetDescription(level, match->Description.toUtf8());
    }
}

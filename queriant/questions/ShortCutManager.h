// SPDX-License-Identifier: MIT
// Saved cost-center selections ("shortcuts"): one code per level under a name of the user's
// own, kept per user in the registry, and the server check that a shortcut still names
// available cost centers.
#pragma once

#include "Questions.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

inline constexpr const char *ShortcutsKeyName = "SOFTWARE\\Zorvant\\Popup Client\\shortcuts";

class TShortCutDef {
public:
    const QByteArrayList &Codes() const { return m_codes; }
    const QByteArrayList &Descriptions() const { return m_descriptions; }
    const QByteArray &ID() const { return m_id; }
    const QByteArray &Name() const { return m_name; }
    bool Modified() const { return m_modified; }

    void SetCodes(const QByteArrayList &codes);
    void SetDescriptions(const QByteArrayList &descriptions);
    void SetCode(int level, const QByteArray &code);
    void SetDescription(int level, const QByteArray &description);
    void SetID(const QByteArray &id) { m_id = id; }
    // Marks the shortcut modified only when the name changes.
    void SetName(const QByteArray &name);
    void SetModified(bool modified) { m_modified = modified; }

    void Clear();
    bool IsEmpty() const;
    // The registry value data: ID, then code and description of each level, all quoted.
    QByteArray Serialise() const;
    // Levels joined for display, in the layout's reading direction.
    QString DisplayText() const;

private:
    QByteArrayList m_codes;
    QByteArrayList m_descriptions;
    QByteArray m_id;
    QByteArray m_name;
    bool m_modified = true;
};

// The item of a serialised shortcut, quoted, with a quote inside written twice.
QByteArray QuoteShortcutItem(const QByteArray &item);
// A shortcut from its registry value name and data.
std::unique_ptr<TShortCutDef> ParseShortcut(const QByteArray &name, const QString &data);

// Asks the server for the user's codes of a category under a parent that match a pattern.
using TFindUserCodes = std::function<TCostCenterList(const QString &category, const QString &parent,
                                                     const QString &pattern, int maximum)>;

class TShortCutManager {
public:
    explicit TShortCutManager(TFindUserCodes findUserCodes = {});
    ~TShortCutManager();
    TShortCutManager(const TShortCutManager &) = delete;
    TShortCutManager &operator=(const TShortCutManager &) = delete;

    void Load();
    void Save();
    TShortCutDef *AddNew();
    void Remove(TShortCutDef *shortcut);
    int IndexOf(const TShortCutDef *shortcut) const;
    int MoveUp(TShortCutDef *shortcut);
    int MoveDown(TShortCutDef *shortcut);
    void Clear();
    int Count() const { return int(m_items.size()); }
    TShortCutDef *Item(int i) const;

    // Checks every level against the server and takes the server's description; throws the
    // "SShortcutInvalid" text for the first code the server no longer offers.
    void ValidateShortcut(TShortCutDef &shortcut, const TQuestionSet &set) const;

private:
    TFindUserCodes m_findUserCodes;
    std::vector<std::unique_ptr<TShortCutDef>> m_items;
};

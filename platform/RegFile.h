// SPDX-License-Identifier: MIT
// The .reg export format ("Windows Registry Editor Version 5.00") as a tree of keys:
// parsing text into a hive and writing a hive back as text. No file access here.
#pragma once

#include "ZvRegistry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace zv {

struct RegNamedValue {
    QString name; // empty for the default value ("@")
    RegValue value;
};

// One key of a hive. Subkeys stay sorted case-insensitively; values keep their order.
// Names compare case-insensitively and keep the spelling they were created with.
class RegHiveKey {
public:
    RegHiveKey() = default;
    explicit RegHiveKey(QString keyName) : name(std::move(keyName)) {}

    QString name;
    QList<RegNamedValue> values;
    std::vector<RegHiveKey> subKeys;

    const RegHiveKey *subKey(const QString &keyName) const;
    RegHiveKey *subKey(const QString &keyName);
    // The subkey, added when missing; *created tells whether it was.
    RegHiveKey &ensureSubKey(const QString &keyName, bool *created = nullptr);
    bool removeSubKey(const QString &keyName);

    // Descends through the path components; nullptr when one is missing.
    const RegHiveKey *find(const QStringList &path) const;
    RegHiveKey *find(const QStringList &path);
    RegHiveKey &ensure(const QStringList &path, bool *created = nullptr);

    const RegValue *value(const QString &valueName) const;
    // Replaces the value in place, or appends it.
    void setValue(const QString &valueName, const RegValue &v);
    bool removeValue(const QString &valueName);
};

// A hive text that does not parse. The message names the file and the line.
class RegParseError : public ZvRegistryError {
public:
    RegParseError(const QString &fileName, int line, const QString &reason);
    int line() const { return m_line; }
    const QString &reason() const { return m_reason; }

private:
    int m_line;
    QString m_reason;
};

// Splits "A\B\\C\" into its non-empty components.
QStringList splitRegPath(const QString &path);

// File bytes to text: UTF-16LE with a byte-order mark (as regedit saves), otherwise UTF-8.
QString decodeRegBytes(const QByteArray &bytes);

// Parses a hive whose keys all lie below rootName (e.g. "HKEY_LOCAL_MACHINE"). The result
// is the root key, named rootName. fileName only appears in error messages.
RegHiveKey parseRegText(const QString &text, const QString &rootName, const QString &fileName);

// The hive as .reg text: header, then every key in enumeration order with its values.
// Hex data is wrapped with "\" continuations the way regedit does.
QString writeRegText(const RegHiveKey &root);

} // namespace zv

// SPDX-License-Identifier: MIT
// The registry: typed, hierarchical settings kept in text hives in the .reg export format.
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace zv {

enum class RegRoot {
    LocalMachine, // ZORVANT_MACHINE_REG, default /etc/zorvant/machine.reg
    CurrentUser,  // ZORVANT_USER_REG, default $XDG_CONFIG_HOME/zorvant/user.reg
    ClassesRoot,  // LocalMachine "SOFTWARE\Classes"
    UserClasses,  // CurrentUser "Software\Classes" (per-user registration)
};

enum class RegType { String, ExpandString, DWord, Binary };

struct RegValue {
    RegType type = RegType::String;
    QString text;      // String and ExpandString (not expanded)
    quint32 dword = 0; // DWord
    QByteArray binary; // Binary

    static RegValue string(const QString &s) { return {RegType::String, s, 0, {}}; }
    static RegValue expandString(const QString &s) { return {RegType::ExpandString, s, 0, {}}; }
    static RegValue fromDWord(quint32 v) { return {RegType::DWord, {}, v, {}}; }
    static RegValue fromBinary(const QByteArray &b) { return {RegType::Binary, {}, 0, b}; }
    bool operator==(const RegValue &) const = default;
};

// A hive file that does not parse, or one that cannot be written. The message names the
// file (and the line for parse errors).
class ZvRegistryError : public ZvError {
public:
    using ZvError::ZvError;
};

// A handle on one key. Handles are cheap values; every read sees the file as it is on disk
// now and every write is a locked read-modify-write of the whole hive, so several processes
// can share a hive. Key and value names compare case-insensitively.
class ZvRegKey {
public:
    // The existing key, or nullopt when it (or the hive file) does not exist.
    static std::optional<ZvRegKey> open(RegRoot root, const QString &path);
    // Opens the key, creating it and any missing parents.
    static ZvRegKey create(RegRoot root, const QString &path);
    // Deletes the key with all its subkeys; false when it did not exist.
    static bool remove(RegRoot root, const QString &path);
    // Replaces the key and all its subkeys by a key holding exactly these values, in one
    // locked write: readers and a failure see the old key or the new one, never a part.
    static ZvRegKey rewrite(RegRoot root, const QString &path,
                            const QList<std::pair<QString, RegValue>> &values);

    RegRoot root() const { return m_root; }
    QString path() const { return m_path; }

    std::optional<ZvRegKey> openSubKey(const QString &relative) const;
    ZvRegKey createSubKey(const QString &relative) const;
    bool removeSubKey(const QString &relative) const;

    // Subkey names in case-insensitive alphabetical order; value names in file order.
    QStringList subKeyNames() const;
    QStringList valueNames() const;

    std::optional<RegValue> value(const QString &name) const;
    // Typed reads: nullopt when the value is missing or of another type.
    // readString accepts String and ExpandString (the text as stored).
    std::optional<QString> readString(const QString &name) const;
    std::optional<quint32> readDWord(const QString &name) const;
    std::optional<QByteArray> readBinary(const QString &name) const;

    void setValue(const QString &name, const RegValue &value) const;
    void writeString(const QString &name, const QString &v) const {
        setValue(name, RegValue::string(v));
    }
    void writeDWord(const QString &name, quint32 v) const {
        setValue(name, RegValue::fromDWord(v));
    }
    void writeBinary(const QString &name, const QByteArray &v) const {
        setValue(name, RegValue::fromBinary(v));
    }
    // False when the value did not exist.
    bool deleteValue(const QString &name) const;

private:
    ZvRegKey(RegRoot root, QString path) : m_root(root), m_path(std::move(path)) {}
    RegRoot m_root;
    QString m_path;
};

// The hive file behind a root, after the environment overrides.
QString registryFilePath(RegRoot root);

} // namespace zv

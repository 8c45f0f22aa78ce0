// SPDX-License-Identifier: MIT
// Helpers shared by every test: readable QString/QByteArray in failure messages, and a
// per-test sandbox so that no test reads or writes the real registry files, sections or home.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>

void PrintTo(const QString &s, std::ostream *os);
void PrintTo(const QByteArray &b, std::ostream *os);

namespace zvtest {

// Sets an environment variable for its lifetime and restores the old value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_old;
};

// Gives one test its own registry hives, XDG folders and section names.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    QString dir() const { return m_dir.path(); }
    QString path(const QString &relative) const;
    QString machineRegPath() const { return path(QStringLiteral("machine.reg")); }
    QString userRegPath() const { return path(QStringLiteral("user.reg")); }

    // Writes a file below the sandbox, creating folders as needed.
    QString writeFile(const QString &relative, const QByteArray &content) const;
    QByteArray readFile(const QString &relative) const;

    // A section or event name no other test (or test process) uses: "Local\zvtest.<pid>.<n>.<base>".
    QString uniqueName(const QString &base) const;

private:
    QTemporaryDir m_dir;
    std::map<QByteArray, std::unique_ptr<ScopedEnv>> m_env;
};

} // namespace zvtest

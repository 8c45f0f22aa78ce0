// SPDX-License-Identifier: MIT
// A temporary folder holding the registry hives, configuration and data folders of the
// benchmark, so that nothing outside it is read or written.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

class BenchSandbox {
public:
    // Points the registry and the per-user folders into a new temporary folder.
    BenchSandbox();
    BenchSandbox(const BenchSandbox &) = delete;
    BenchSandbox &operator=(const BenchSandbox &) = delete;

    // The sandbox of the running benchmark program.
    static BenchSandbox &current();

    QString path(const QString &relative) const;
    // Registers a ProgID for a new class served by a sample plug-in of the build.
    QUuid registerTask(const QString &progId, const char *library = "zvsampletask") const;
    // Writes a task-host configuration listing the tasks; throws when it cannot.
    static void writeConfiguration(const QString &file, const QStringList &tasks);

private:
    QTemporaryDir m_dir;
};

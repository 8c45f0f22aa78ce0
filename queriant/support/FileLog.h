// SPDX-License-Identifier: MIT
// Sink that appends lines to a text file, rolling it over to "<path>.2" at the size limit.
//
// Lines are collected in a buffer and written together. The buffer goes to the file:
//   - at once for an error entry, and for every line logged by a thread that runs no Qt event
//     loop (tools and tests see each line as soon as it is logged);
//   - otherwise when the logging thread's event loop turns next (one posted call per batch);
//   - when it passes bufferBound bytes, before a roll-over, when the sink is destroyed, when the
//     process exits normally, and on a fatal signal (SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL).
#pragma once

#include "Log.h"

#include <memory>

struct TFileLogCrashSlot;

class TZvFileLog : public TZvLog {
public:
    static constexpr qsizetype bufferBound = 64 * 1024;

    // restart: empty the file each time it is opened.
    explicit TZvFileLog(const QString &path, bool restart = false,
                        TClassData &holder = TClassData::instance());
    ~TZvFileLog() override;

    void write(const QByteArray &line) override;
    void writeEntry(const QByteArray &line, quint32 kind) override;
    bool writeLatin1Entry(QLatin1StringView line, quint32 kind) override;

    // Writes the buffered lines to the file now.
    void flush();
    // flush() for every file sink of the process.
    static void flushAll();

    // The path in use; it changes when opens fail.
    QString path() const { return name(); }
    bool isOpen() const { return m_fd >= 0; }

private:
    bool open();
    void close();
    void rollOver();
    void append(const QByteArray &line);
    // What follows each line: writing the buffer at once or at the next loop turn, rolling over.
    void appended(quint32 kind);
    void writeBuffer();
    qsizetype buffered() const;

    int m_fd = -1;
    bool m_restart;
    // Size of the file at the last open or write of ours: the roll-over check adds the
    // buffered bytes to it, and reads the real size again after each write.
    quint64 m_fileSize = 0;
    std::unique_ptr<char[]> m_buffer;
    // Where the crash handler finds the buffer; null when none was free (the sink then
    // writes every line at once).
    TFileLogCrashSlot *m_crashSlot = nullptr;
};

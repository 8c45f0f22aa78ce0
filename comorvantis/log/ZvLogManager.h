// SPDX-License-Identifier: MIT
// The process-wide log manager of the task host: settings from the registry, filters, the
// line prefix and the list of sinks.
#pragma once

#include "ZvLog.h"
#include "ZvLogFormat.h"
#include "ZvRegistry.h"

#include <QDateTime>

#include <memory>
#include <mutex>
#include <vector>

struct ZvLogSettings {
    QString sourceName;
    bool enabled = true;
    quint32 filters = 3;
    quint32 categories = 1;
    quint32 types = 15;
    quint32 level = 0;
    quint32 options = 63;
    quint32 maxDataSize = 2048;
    quint32 maxFileSize = 2048;
    QString fileName;
    bool traceLog = false;
    bool onlyErrorsToFile = false;
};

// Categories with labels of their own.
constexpr quint32 ZvLogCategoryService = 0x1;
constexpr quint32 ZvLogCategoryLibrary = 0x10000;
constexpr quint32 ZvLogCategoryComLibrary = 0x20000;

// What the prefix shows about the entry and its writer.
struct ZvLogLineContext {
    QDateTime time;
    qint64 processId = 0;
    qint64 threadId = 0;
};

class ZvLogManager {
public:
    static ZvLogManager &instance();

    ZvLogManager() = default;
    ZvLogManager(const ZvLogManager &) = delete;
    ZvLogManager &operator=(const ZvLogManager &) = delete;

    // Reads "<rootKey>\Log"; creates it with the current settings when it cannot be opened.
    void readSettings(zv::RegRoot root, const QString &rootKey);
    void setSourceName(const QString &name);
    // Replaces the file sink unless one with the same path (any case) and size limit exists.
    void installFileLog(const QString &path);
    void setTraceLog(bool on);
    // Back to the defaults with no sinks (a fresh process as far as the log can tell).
    void reset();

    ZvLogSettings settings() const;
    // The current sinks, in delivery order.
    std::vector<std::shared_ptr<ZvLog>> sinks() const;

    bool passes(ZvLogKind kind, quint32 category, int level) const;
    void entry(ZvLogKind kind, quint32 category, int level, const QString &format,
               std::span<const ZvLogArg> args);

    // The full line as written: prefix (by options), message, and a line feed.
    static QString formatLine(const ZvLogSettings &settings, const ZvLogLineContext &context,
                              ZvLogKind kind, quint32 category, int level, const QString &message);
    static QString categoryLabel(quint32 category);
    static QString kindLetters(ZvLogKind kind, int level);

private:
    void writeSettingsTo(const zv::ZvRegKey &key) const;
    void installFileLogLocked(const QString &path);
    void setTraceLogLocked(bool on);
    void removeSinkLocked(const std::shared_ptr<ZvLog> &sink);

    mutable std::recursive_mutex m_lock;
    ZvLogSettings m_settings;
    std::vector<std::shared_ptr<ZvLog>> m_sinks;
    std::shared_ptr<ZvLog> m_fileLog;
    std::shared_ptr<ZvLog> m_traceLog;
};

// Entry points used by the service and the controller.
void ZvLogDebug(quint32 category, int level, const QString &format, ZvLogArgs args = {});
void ZvLogDebug(int level, const QString &format, ZvLogArgs args = {});
void ZvLogError(quint32 category, const QString &format, ZvLogArgs args = {});
void ZvLogError(const QString &format, ZvLogArgs args = {});
void ZvLogWarning(const QString &format, ZvLogArgs args = {});

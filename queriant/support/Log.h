// SPDX-License-Identifier: MIT
// The client's process-wide log: a settings holder, a list of sinks and the entry points.
//
//   LogInfo("Connected to %S:%D", host, port);          // category 1, information
//   LogError(lcZvCom, "Request failed: %s", message);   // given category, error
//
// Formats are printf-like; conversion letters are case-insensitive ("%S" is "%s"). Arguments
// may be integers, doubles, chars, QString, QStringView, QByteArray, std::string and C strings.
// An entry whose arguments do not fit its format is dropped. No entry point ever throws.
#pragma once

#include "LogArg.h"
#include "LogFormat.h"
#include "ZvRegistry.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

// Entry kinds (bit values; a combination shows its most severe member).
constexpr quint32 lkError = 1;
constexpr quint32 lkWarning = 2;
constexpr quint32 lkInformation = 4;
constexpr quint32 lkDebug = 8;

// Categories.
constexpr quint32 lcGeneral = 1;
constexpr quint32 lcZv = 0x10000;
constexpr quint32 lcZvCom = 0x20000;

// Prefix options.
constexpr quint32 loDateTime = 0x01;
constexpr quint32 loProcessId = 0x02;
constexpr quint32 loThreadId = 0x04;
constexpr quint32 loCategory = 0x08;
constexpr quint32 loKind = 0x10;
constexpr quint32 loSourceName = 0x20;

class TZvLog;

// Settings and sink list. One instance per process (instance()); tests may build their own
// and attach sinks to it.
class TClassData {
public:
    TClassData();
    TClassData(const TClassData &) = delete;
    TClassData &operator=(const TClassData &) = delete;

    static TClassData &instance();

    quint32 filters() const { return m_filters.load(std::memory_order_relaxed); }
    void setFilters(quint32 v) { m_filters.store(v, std::memory_order_relaxed); }
    quint32 categories() const { return m_categories.load(std::memory_order_relaxed); }
    void setCategories(quint32 v) { m_categories.store(v, std::memory_order_relaxed); }
    quint32 types() const { return m_types.load(std::memory_order_relaxed); }
    void setTypes(quint32 v) { m_types.store(v, std::memory_order_relaxed); }
    quint32 level() const { return m_level.load(std::memory_order_relaxed); }
    void setLevel(quint32 v) { m_level.store(v, std::memory_order_relaxed); }
    quint32 options() const { return m_options.load(std::memory_order_relaxed); }
    void setOptions(quint32 v) { m_options.store(v, std::memory_order_relaxed); }
    // In bytes; 0 means no limit.
    quint64 maxFileSize() const { return m_maxFileSize.load(std::memory_order_relaxed); }
    void setMaxFileSize(quint64 bytes) { m_maxFileSize.store(bytes, std::memory_order_relaxed); }
    QString sourceName() const;
    void setSourceName(const QString &name);
    // Month names and separators of the date in the prefix (the system locale by default).
    void setLocaleInfo(const TLogLocaleInfo &info);

    // Reads the settings from the "Log" subkey of key; nothing changes when that subkey
    // cannot be opened.
    void readSettings(zv::RegRoot root, const QString &key) noexcept;
    // The Filename value of the same subkey; empty when the key or the value is missing.
    QString readFileName(zv::RegRoot root, const QString &key) const noexcept;

    bool passes(quint32 category, quint32 kind, quint32 level) const noexcept {
        const quint32 f = filters();
        if ((f & 1) && !(category & categories()))
            return false;
        if ((f & 2) && !(kind & types()))
            return false;
        return level <= this->level();
    }

    // Filters, formats and delivers one entry; with no sink attached nothing is formatted.
    void entry(quint32 category, quint32 kind, quint32 level, const char *format,
               std::span<const TLogArg> args) noexcept {
        if (m_sinkCount.load(std::memory_order_relaxed) != 0 && passes(category, kind, level))
            formatAndDeliver(category, kind, format, args.data(), args.size());
    }
    // Hands a finished line to every sink, under the lock.
    void deliver(QStringView line, quint32 kind = lkInformation) noexcept;

    qsizetype sinkCount() const;

private:
    friend class TZvLog;
    void addSink(TZvLog *sink);
    void removeSink(TZvLog *sink);
    struct ThreadState;
    struct LineBuffers;
    struct Request;
    static ThreadState &threadState();
    // The arguments one by one, so that they are passed in registers.
    void formatAndDeliver(quint32 category, quint32 kind, const char *format, const TLogArg *args,
                          size_t count) noexcept;
    void buildAndDeliver(ThreadState &state, LineBuffers &buffers, const Request &request);
    template <typename Char>
    void appendPrefix(ThreadState &state, TLogBuffer<Char> &out, quint32 options, quint32 category,
                      quint32 kind);
    void deliverLatin1(LineBuffers &buffers, QLatin1StringView line, quint32 kind) noexcept;
    void deliverUtf16(LineBuffers &buffers, QStringView line, quint32 kind) noexcept;
    void settingsChanged();

    mutable std::mutex m_lock; // the sink list and delivery
    std::vector<TZvLog *> m_sinks;
    std::atomic<qsizetype> m_sinkCount{0}; // m_sinks.size(), read without the lock
    std::atomic<quint32> m_filters{3};
    std::atomic<quint32> m_categories{1};
    std::atomic<quint32> m_types{7};
    std::atomic<quint32> m_level{0};
    std::atomic<quint32> m_options{1};
    std::atomic<quint64> m_maxFileSize{0};
    mutable std::mutex m_settingsLock; // the source name and locale info
    QString m_sourceName;
    std::shared_ptr<const TLogLocaleInfo> m_localeInfo;
    // Changes with the source name and locale info, so that threads can keep copies of them.
    std::atomic<quint64> m_settingsSerial{0};
    char m_processIdText[32] = {};
    qsizetype m_processIdLength = 0;
};

// Base of every sink. Creating one adds it to its holder's list; destroying it removes it.
class TZvLog {
public:
    explicit TZvLog(const QString &name, TClassData &holder = TClassData::instance());
    virtual ~TZvLog();
    TZvLog(const TZvLog &) = delete;
    TZvLog &operator=(const TZvLog &) = delete;

    // Called under the holder's lock, one line at a time, without a line end. The line is
    // UTF-8 (only ASCII and the copyright sign when escaped).
    virtual void write(const QByteArray &line);
    // What the holder calls: the line and the kind of its entry. Passes the line to write().
    virtual void writeEntry(const QByteArray &line, quint32 kind);
    // For an escaping sink, a line without characters above 255 before it is escaped: true
    // when the sink took it, escaping it into storage of its own. This one takes none, and the
    // line comes escaped through writeEntry().
    virtual bool writeLatin1Entry(QLatin1StringView line, quint32 kind);

    bool escape() const { return m_escape; }
    QString name() const;

protected:
    // Derived destructors call this first so that no line reaches a half-destroyed sink.
    void detach();
    TClassData &holder() const { return m_holder; }
    // The holder's delivery lock, for work on the sink outside a write.
    std::unique_lock<std::mutex> lockHolder() const { return std::unique_lock(m_holder.m_lock); }
    void setName(const QString &name);

    bool m_escape = true;

private:
    TClassData &m_holder;
    mutable std::mutex m_nameLock;
    QString m_name;
    bool m_attached = false;
};

template <typename... Args>
void LogEntry(quint32 category, quint32 kind, quint32 level, const char *format,
              const Args &...args) noexcept {
    TClassData &log = TClassData::instance();
    if (!log.passes(category, kind, level))
        return;
    const std::array<TLogArg, sizeof...(Args)> list{TLogArg(args)...};
    log.entry(category, kind, level, format, list);
}

template <typename... Args> void LogError(const char *format, const Args &...args) noexcept {
    LogEntry(lcGeneral, lkError, 0, format, args...);
}

template <typename... Args>
void LogError(quint32 category, const char *format, const Args &...args) noexcept {
    LogEntry(category, lkError, 0, format, args...);
}

template <typename... Args> void LogInfo(const char *format, const Args &...args) noexcept {
    LogEntry(lcGeneral, lkInformation, 0, format, args...);
}

template <typename... Args>
void LogInfo(quint32 category, const char *format, const Args &...args) noexcept {
    LogEntry(category, lkInformation, 0, format, args...);
}

// SPDX-License-Identifier: MIT
#include "Log.h"

#include <algorithm>
#include <ctime>

#include <unistd.h>

namespace {

qint64 currentThreadId() {
    thread_local const qint64 id = ::gettid();
    return id;
}

} // namespace

TClassData::TClassData()
    : m_localeInfo(
          std::make_shared<const TLogLocaleInfo>(TLogLocaleInfo::fromLocale(QLocale::system()))),
      m_processId(::getpid()) {
    ::tzset();
}

TClassData &TClassData::instance() {
    // Never destroyed: destructors of other static objects may still log at exit.
    static TClassData *const holder = new TClassData;
    return *holder;
}

QString TClassData::sourceName() const {
    std::lock_guard guard(m_settingsLock);
    return m_sourceName;
}

void TClassData::setSourceName(const QString &name) {
    std::lock_guard guard(m_settingsLock);
    m_sourceName = name;
}

void TClassData::setLocaleInfo(const TLogLocaleInfo &info) {
    auto shared = std::make_shared<const TLogLocaleInfo>(info);
    std::lock_guard guard(m_settingsLock);
    m_localeInfo = std::move(shared);
}

namespace {

QString logKeyPath(const QString &key) {
    if (key.endsWith(QLatin1Char('\\')))
        return key + QLatin1String("Log");
    return key + QLatin1String("\\Log");
}

std::optional<zv::ZvRegKey> openLogKey(zv::RegRoot root, const QString &key) {
    try {
        return zv::ZvRegKey::open(root, logKeyPath(key));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

void TClassData::readSettings(zv::RegRoot root, const QString &key) noexcept {
    try {
        const std::optional<zv::ZvRegKey> logKey = openLogKey(root, key);
        if (!logKey)
            return;
        const std::optional<zv::RegValue> source = logKey->value(QStringLiteral("SourceName"));
        if (!source)
            setSourceName(QString());
        else if (source->type == zv::RegType::String || source->type == zv::RegType::ExpandString)
            setSourceName(source->text);

        auto readInto = [&](const char *name, std::atomic<quint32> &field) {
            if (const std::optional<quint32> v = logKey->readDWord(QLatin1String(name)))
                field.store(*v, std::memory_order_relaxed);
        };
        readInto("Filters", m_filters);
        readInto("Categories", m_categories);
        readInto("Types", m_types);
        readInto("Level", m_level);
        // In MiB; kept 64-bit so that 4096 MiB and more do not wrap to "no limit".
        const std::optional<quint32> mib = logKey->readDWord(QStringLiteral("MaxFileSize"));
        setMaxFileSize(mib ? quint64(*mib) * 1048576u : 0);
        readInto("Options", m_options);
    } catch (...) {
        // A hive that cannot be read leaves the settings as they are.
    }
}

QString TClassData::readFileName(zv::RegRoot root, const QString &key) const noexcept {
    try {
        const std::optional<zv::ZvRegKey> logKey = openLogKey(root, key);
        if (!logKey)
            return {};
        return logKey->readString(QStringLiteral("Filename")).value_or(QString());
    } catch (...) {
        return {};
    }
}

void TClassData::entry(quint32 category, quint32 kind, quint32 level, const char *format,
                       std::span<const TLogArg> args) noexcept {
    try {
        if (!passes(category, kind, level))
            return;
        const std::optional<QString> message = LogFormatMessage(format, args);
        if (!message)
            return;
        const quint32 opts = options();
        if (opts == 0) {
            deliver(*message);
            return;
        }
        TLogPrefixFields fields;
        if (opts & loDateTime)
            fields.time = LogLocalTimeNow();
        fields.processId = m_processId;
        fields.threadId = currentThreadId();
        fields.category = category;
        fields.kind = kind;
        std::shared_ptr<const TLogLocaleInfo> localeInfo;
        {
            std::lock_guard guard(m_settingsLock);
            fields.sourceName = m_sourceName;
            localeInfo = m_localeInfo;
        }
        deliver(LogPrefix(opts, fields, *localeInfo) + *message);
    } catch (...) {
        // The log never fails its caller.
    }
}

void TClassData::deliver(const QString &line) noexcept {
    try {
        std::optional<QByteArray> escaped;
        std::optional<QByteArray> plain;
        std::lock_guard guard(m_lock);
        for (TZvLog *sink : m_sinks) {
            try {
                if (sink->escape()) {
                    if (!escaped)
                        escaped = LogEscape(line);
                    sink->write(*escaped);
                } else {
                    if (!plain)
                        plain = line.toUtf8();
                    sink->write(*plain);
                }
            } catch (...) {
                // One failing sink does not keep the line from the others.
            }
        }
    } catch (...) {
    }
}

qsizetype TClassData::sinkCount() const {
    std::lock_guard guard(m_lock);
    return qsizetype(m_sinks.size());
}

void TClassData::addSink(TZvLog *sink) {
    std::lock_guard guard(m_lock);
    m_sinks.push_back(sink);
}

void TClassData::removeSink(TZvLog *sink) {
    std::lock_guard guard(m_lock);
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

TZvLog::TZvLog(const QString &name, TClassData &holder) : m_holder(holder), m_name(name) {
    m_holder.addSink(this);
    m_attached = true;
}

TZvLog::~TZvLog() {
    detach();
}

void TZvLog::write(const QByteArray &) {}

QString TZvLog::name() const {
    std::lock_guard guard(m_nameLock);
    return m_name;
}

void TZvLog::setName(const QString &name) {
    std::lock_guard guard(m_nameLock);
    m_name = name;
}

void TZvLog::detach() {
    if (!m_attached)
        return;
    m_holder.removeSink(this);
    m_attached = false;
}

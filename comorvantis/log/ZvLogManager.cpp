// SPDX-License-Identifier: MIT
#include "ZvLogManager.h"

#include "ZvFileLog.h"
#include "ZvMisc.h"
#include "ZvTraceLog.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::optional<quint32> readNumber(const zv::ZvRegKey &key, const QString &name) {
    return key.readDWord(name);
}

std::optional<QString> readText(const zv::ZvRegKey &key, const QString &name) {
    return key.readString(name);
}

quint32 kindBit(ZvLogKind kind) {
    return quint32(kind);
}

} // namespace

ZvLogManager &ZvLogManager::instance() {
    static ZvLogManager manager;
    return manager;
}

void ZvLogManager::readSettings(zv::RegRoot root, const QString &rootKey) {
    const QString path = rootKey + QStringLiteral("\\Log");
    std::optional<zv::ZvRegKey> key;
    try {
        key = zv::ZvRegKey::open(root, path);
    } catch (const zv::ZvError &) {
        return; // an unreadable hive leaves the defaults in force
    }
    std::lock_guard guard(m_lock);
    if (!key) {
        try {
            writeSettingsTo(zv::ZvRegKey::create(root, path));
        } catch (const zv::ZvError &e) {
            ZvLogError(ZvLogCategoryLibrary, QStringLiteral("[ZvRegistry::SetValue] ") +
                                                 ZvMisc::doublePercent(e.message()));
        }
        return;
    }
    ZvLogSettings &s = m_settings;
    auto number = [&](const char *name, quint32 &field) {
        if (auto v = readNumber(*key, QLatin1String(name)))
            field = *v;
    };
    auto flag = [&](const char *name, bool &field) {
        if (auto v = readNumber(*key, QLatin1String(name)))
            field = *v != 0;
    };
    try {
        if (auto v = readText(*key, QStringLiteral("SourceName")))
            s.sourceName = *v;
        flag("Enabled", s.enabled);
        number("Filters", s.filters);
        number("Categories", s.categories);
        number("Types", s.types);
        number("Level", s.level);
        number("Options", s.options);
        number("MaxDataSize", s.maxDataSize);
        number("MaxFileSize", s.maxFileSize);
        if (auto v = readText(*key, QStringLiteral("Filename")))
            s.fileName = *v;
        else if (auto old = readText(*key, QStringLiteral("File Name")))
            s.fileName = *old;
        flag("TraceLog", s.traceLog);
        flag("OnlyErrorsToFile", s.onlyErrorsToFile);
    } catch (const zv::ZvError &) {
        // Values read so far stay; the rest keep their defaults.
    }
    s.fileName = s.fileName.trimmed();
    if (!s.fileName.isEmpty())
        installFileLogLocked(s.fileName);
    setTraceLogLocked(s.traceLog);
}

void ZvLogManager::writeSettingsTo(const zv::ZvRegKey &key) const {
    const ZvLogSettings &s = m_settings;
    key.writeString(QStringLiteral("SourceName"), s.sourceName);
    key.writeDWord(QStringLiteral("Enabled"), s.enabled ? 1 : 0);
    key.writeDWord(QStringLiteral("Filters"), s.filters);
    key.writeDWord(QStringLiteral("Categories"), s.categories);
    key.writeDWord(QStringLiteral("Types"), s.types);
    key.writeDWord(QStringLiteral("Level"), s.level);
    key.writeDWord(QStringLiteral("Options"), s.options);
    key.writeDWord(QStringLiteral("MaxDataSize"), s.maxDataSize);
    key.writeDWord(QStringLiteral("MaxFileSize"), s.maxFileSize);
    key.writeString(QStringLiteral("Filename"), m_fileLog ? m_fileLog->name() : QString());
    key.writeDWord(QStringLiteral("TraceLog"), m_traceLog ? 1 : 0);
    key.writeDWord(QStringLiteral("OnlyErrorsToFile"), s.onlyErrorsToFile ? 1 : 0);
}

void ZvLogManager::setSourceName(const QString &name) {
    std::lock_guard guard(m_lock);
    m_settings.sourceName = name;
}

void ZvLogManager::installFileLog(const QString &path) {
    std::lock_guard guard(m_lock);
    installFileLogLocked(path);
}

void ZvLogManager::installFileLogLocked(const QString &path) {
    if (m_fileLog && m_fileLog->name().compare(path, Qt::CaseInsensitive) == 0 &&
        static_cast<ZvFileLog &>(*m_fileLog).maxFileSizeMiB() == m_settings.maxFileSize)
        return;
    if (m_fileLog)
        removeSinkLocked(m_fileLog);
    m_fileLog = std::make_shared<ZvFileLog>(path, m_settings.maxFileSize);
    m_sinks.push_back(m_fileLog);
}

void ZvLogManager::setTraceLog(bool on) {
    std::lock_guard guard(m_lock);
    setTraceLogLocked(on);
}

void ZvLogManager::setTraceLogLocked(bool on) {
    m_settings.traceLog = on;
    if (on && !m_traceLog) {
        m_traceLog = std::make_shared<ZvTraceLog>();
        m_sinks.push_back(m_traceLog);
    } else if (!on && m_traceLog) {
        removeSinkLocked(m_traceLog);
        m_traceLog.reset();
    }
}

void ZvLogManager::removeSinkLocked(const std::shared_ptr<ZvLog> &sink) {
    std::erase(m_sinks, sink);
}

void ZvLogManager::reset() {
    std::lock_guard guard(m_lock);
    m_sinks.clear();
    m_fileLog.reset();
    m_traceLog.reset();
    m_settings = ZvLogSettings{};
}

ZvLogSettings ZvLogManager::settings() const {
    std::lock_guard guard(m_lock);
    return m_settings;
}

std::vector<std::shared_ptr<ZvLog>> ZvLogManager::sinks() const {
    std::lock_guard guard(m_lock);
    return m_sinks;
}

bool ZvLogManager::passes(ZvLogKind kind, quint32 category, int level) const {
    std::lock_guard guard(m_lock);
    const ZvLogSettings &s = m_settings;
    if (!s.enabled)
        return false;
    if ((s.filters & 1) && !(category & s.categories))
        return false;
    if (s.filters & 2) {
        if (!(kindBit(kind) & s.types))
            return false;
        if (kind == ZvLogKind::Debug && qint64(level) > qint64(s.level))
            return false;
    }
    return true;
}

QString ZvLogManager::categoryLabel(quint32 category) {
    if (category & 1)
        return {};
    if (category == ZvLogCategoryLibrary)
        return QStringLiteral("CZv");
    if (category == ZvLogCategoryComLibrary)
        return QStringLiteral("CZvCom");
    return QStringLiteral("C%1").arg(category, 4, 16, QLatin1Char('0')).toUpper();
}

QString ZvLogManager::kindLetters(ZvLogKind kind, int level) {
    switch (kind) {
    case ZvLogKind::Error:
        return QStringLiteral("e");
    case ZvLogKind::Warning:
        return QStringLiteral("w");
    case ZvLogKind::Information:
        return QStringLiteral("i");
    case ZvLogKind::Debug:
        return QStringLiteral("d") + QString(qBound(0, level - 1, 4), QLatin1Char('+'));
    }
    return QStringLiteral("?");
}

QString ZvLogManager::formatLine(const ZvLogSettings &settings, const ZvLogLineContext &context,
                                 ZvLogKind kind, quint32 category, int level,
                                 const QString &message) {
    QString line;
    const quint32 options = settings.options;
    if (options != 0) {
        line = QStringLiteral("[");
        auto field = [&line](const QString &text) {
            if (line.size() > 1)
                line.append(QLatin1Char(' '));
            line.append(text);
        };
        if (options & 0x01) {
            const QDate d = context.time.date();
            const QTime t = context.time.time();
            field(zvFormat(
                QStringLiteral("%04d/%02d/%02d %02d:%02d:%02d.%03d"),
                {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()}));
        }
        if (options & 0x02)
            field(zvFormat(QStringLiteral("P%03X"), {context.processId}));
        if (options & 0x04)
            field(zvFormat(QStringLiteral("T%03X"), {context.threadId}));
        if ((options & 0x08) && !(category & 1))
            field(categoryLabel(category));
        if (options & 0x10)
            field(kindLetters(kind, level));
        if ((options & 0x20) && !settings.sourceName.isEmpty())
            field(settings.sourceName);
        line.append(QStringLiteral("] "));
    }
    line.append(message);
    if (!line.endsWith(QLatin1Char('\n')))
        line.append(QLatin1Char('\n'));
    return line;
}

void ZvLogManager::entry(ZvLogKind kind, quint32 category, int level, const QString &format,
                         std::span<const ZvLogArg> args) {
    if (!passes(kind, category, level))
        return;
    const ZvLogSettings snapshot = settings();
    const ZvLogLineContext context{QDateTime::currentDateTime(), qint64(::getpid()),
                                   qint64(::syscall(SYS_gettid))};
    const QString line =
        formatLine(snapshot, context, kind, category, level, zvFormat(format, args));
    std::lock_guard guard(m_lock);
    for (const std::shared_ptr<ZvLog> &sink : m_sinks) {
        if (m_settings.onlyErrorsToFile && sink->isFileLog() && kind != ZvLogKind::Error)
            continue;
        sink->write(kind, level, line);
    }
}

namespace {
void deliver(ZvLogKind kind, quint32 category, int level, const QString &format, ZvLogArgs args) {
    ZvLogManager::instance().entry(kind, category, level, format,
                                   std::span<const ZvLogArg>(args.begin(), args.size()));
}
} // namespace

void ZvLogDebug(quint32 category, int level, const QString &format, ZvLogArgs args) {
    deliver(ZvLogKind::Debug, category, level, format, args);
}

void ZvLogDebug(int level, const QString &format, ZvLogArgs args) {
    deliver(ZvLogKind::Debug, ZvLogCategoryService, level, format, args);
}

void ZvLogError(quint32 category, const QString &format, ZvLogArgs args) {
    deliver(ZvLogKind::Error, category, 0, format, args);
}

void ZvLogError(const QString &format, ZvLogArgs args) {
    deliver(ZvLogKind::Error, ZvLogCategoryService, 0, format, args);
}

void ZvLogWarning(const QString &format, ZvLogArgs args) {
    deliver(ZvLogKind::Warning, ZvLogCategoryService, 0, format, args);
}

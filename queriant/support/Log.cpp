// SPDX-License-Identifier: MIT
#include "Log.h"

#include <algorithm>
#include <ctime>
#include <type_traits>

#include <unistd.h>

namespace {

// Serial numbers of settings, unique across holders.
std::atomic<quint64> lastSettingsSerial{0};

quint64 nextSettingsSerial() {
    return lastSettingsSerial.fetch_add(1, std::memory_order_relaxed) + 1;
}

// "dd/mmm/yy hh:nn:ss:" of one second.
template <typename Char> struct TDateText {
    time_t second = -1;
    TLogBuffer<Char> text;
};

} // namespace

// What a thread reuses from line to line, so that the capacity stays.
struct TClassData::LineBuffers {
    TLogLatin1Text latin1;
    TLogText utf16;
    QByteArray escaped;
    QByteArray plain;
};

// What a thread keeps between entries: the parts of the prefix that change seldom, as text,
// and its line buffers.
struct TClassData::ThreadState {
    char threadIdText[32] = {};
    qsizetype threadIdLength = 0;

    quint64 settingsSerial = 0;
    QString sourceName;
    std::shared_ptr<const TLogLocaleInfo> localeInfo;

    TDateText<char> latin1Date;
    TDateText<char16_t> utf16Date;

    // The last Latin-1 prefix: its options, category, kind and second, and where its
    // milliseconds go (they change from line to line).
    bool prefixValid = false;
    quint32 prefixOptions = 0;
    quint32 prefixCategory = 0;
    quint32 prefixKind = 0;
    time_t prefixSecond = 0;
    qsizetype prefixMsecAt = 0;
    TLogLatin1Text prefixText;

    // In use by an entry; a sink that logs from inside a delivery builds its line apart.
    bool buffersBusy = false;
    LineBuffers buffers;

    ThreadState() { threadIdLength = LogDecimal(threadIdText, ::gettid(), 3); }

    template <typename Char> TDateText<Char> &date() {
        if constexpr (std::is_same_v<Char, char>)
            return latin1Date;
        else
            return utf16Date;
    }
};

TClassData::ThreadState &TClassData::threadState() {
    thread_local ThreadState state;
    return state;
}

namespace {

// Marks a thread's buffers as in use while it lives.
class TBuffersInUse {
public:
    explicit TBuffersInUse(bool &busy) : m_busy(busy) { m_busy = true; }
    ~TBuffersInUse() { m_busy = false; }
    TBuffersInUse(const TBuffersInUse &) = delete;
    TBuffersInUse &operator=(const TBuffersInUse &) = delete;

private:
    bool &m_busy;
};

} // namespace

TClassData::TClassData()
    : m_localeInfo(
          std::make_shared<const TLogLocaleInfo>(TLogLocaleInfo::fromLocale(QLocale::system()))),
      m_settingsSerial(nextSettingsSerial()) {
    m_processIdLength = LogDecimal(m_processIdText, ::getpid(), 3);
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
    settingsChanged();
}

void TClassData::setLocaleInfo(const TLogLocaleInfo &info) {
    auto shared = std::make_shared<const TLogLocaleInfo>(info);
    std::lock_guard guard(m_settingsLock);
    m_localeInfo = std::move(shared);
    settingsChanged();
}

// Called with the settings lock held.
void TClassData::settingsChanged() {
    m_settingsSerial.store(nextSettingsSerial(), std::memory_order_release);
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

template <typename Char>
void TClassData::appendPrefix(ThreadState &cache, TLogBuffer<Char> &out, quint32 options,
                              quint32 category, quint32 kind) {
    constexpr bool latin1 = std::is_same_v<Char, char>;
    if (cache.settingsSerial != m_settingsSerial.load(std::memory_order_acquire)) {
        std::lock_guard guard(m_settingsLock);
        cache.sourceName = m_sourceName;
        cache.localeInfo = m_localeInfo;
        cache.settingsSerial = m_settingsSerial.load(std::memory_order_relaxed);
        cache.latin1Date.second = -1;
        cache.utf16Date.second = -1;
        cache.prefixValid = false;
    }
    timespec now{};
    if (options & loDateTime)
        ::clock_gettime(CLOCK_REALTIME, &now);
    const int msec = int(now.tv_nsec / 1000000);
    if constexpr (latin1) {
        if (cache.prefixValid && cache.prefixOptions == options &&
            cache.prefixCategory == category && cache.prefixKind == kind &&
            cache.prefixSecond == now.tv_sec) {
            const qsizetype at = out.size();
            out.append(cache.prefixText);
            if (options & loDateTime) {
                char *digits = out.data() + at + cache.prefixMsecAt;
                digits[0] = char('0' + msec / 100);
                digits[1] = char('0' + msec / 10 % 10);
                digits[2] = char('0' + msec % 10);
            }
            return;
        }
    }
    // A Latin-1 prefix is kept for the lines after it.
    TLogBuffer<Char> &text = [&]() -> TLogBuffer<Char> & {
        if constexpr (latin1)
            return cache.prefixText;
        else
            return out;
    }();
    if constexpr (latin1)
        text.clear();
    text += QLatin1Char('[');
    if (options & loDateTime) {
        TDateText<Char> &date = cache.date<Char>();
        if (now.tv_sec != date.second) {
            date.text.clear();
            LogAppendDateToSeconds(date.text, LogLocalTime(now.tv_sec, 0), *cache.localeInfo);
            date.second = now.tv_sec;
        }
        text.append(date.text);
        if constexpr (latin1)
            cache.prefixMsecAt = text.size();
        LogAppendMilliseconds(text, msec);
    }
    const TLogPrefixTail tail{QLatin1StringView(m_processIdText, m_processIdLength),
                              QLatin1StringView(cache.threadIdText, cache.threadIdLength), category,
                              kind, cache.sourceName};
    LogAppendPrefixTail(text, options & ~loDateTime, tail);
    if constexpr (latin1) {
        cache.prefixOptions = options;
        cache.prefixCategory = category;
        cache.prefixKind = kind;
        cache.prefixSecond = now.tv_sec;
        cache.prefixValid = true;
        out.append(cache.prefixText);
    }
}

struct TClassData::Request {
    quint32 category;
    quint32 kind;
    const char *format;
    const TLogArg *args;
    size_t count;
};

void TClassData::formatAndDeliver(quint32 category, quint32 kind, const char *format,
                                  const TLogArg *args, size_t count) noexcept {
    try {
        const Request request{category, kind, format, args, count};
        ThreadState &state = threadState();
        if (state.buffersBusy) {
            LineBuffers own;
            buildAndDeliver(state, own, request);
            return;
        }
        const TBuffersInUse inUse(state.buffersBusy);
        buildAndDeliver(state, state.buffers, request);
    } catch (...) {
        // The log never fails its caller.
    }
}

void TClassData::buildAndDeliver(ThreadState &state, LineBuffers &buffers, const Request &request) {
    const quint32 category = request.category;
    const quint32 kind = request.kind;
    const char *const format = request.format;
    const std::span<const TLogArg> args(request.args, request.count);
    const quint32 opts = options();
    // Most lines have no character above 255 and are built in Latin-1.
    TLogLatin1Text &latin1 = buffers.latin1;
    latin1.clear();
    if (opts != 0)
        appendPrefix(state, latin1, opts, category, kind);
    if (!latin1.isWide()) {
        if (!LogAppendMessage(latin1, format, args))
            return;
        if (!latin1.isWide()) {
            deliverLatin1(buffers, latin1.view(), kind);
            return;
        }
    }
    TLogText &line = buffers.utf16;
    line.clear();
    if (opts != 0)
        appendPrefix(state, line, opts, category, kind);
    if (!LogAppendMessage(line, format, args))
        return;
    deliverUtf16(buffers, line.view(), kind);
}

void TClassData::deliver(QStringView line, quint32 kind) noexcept {
    try {
        ThreadState &state = threadState();
        if (state.buffersBusy) {
            LineBuffers own;
            deliverUtf16(own, line, kind);
            return;
        }
        const TBuffersInUse inUse(state.buffersBusy);
        deliverUtf16(state.buffers, line, kind);
    } catch (...) {
    }
}

void TClassData::deliverUtf16(LineBuffers &buffers, QStringView line, quint32 kind) noexcept {
    try {
        QByteArray &escaped = buffers.escaped;
        QByteArray &plain = buffers.plain;
        bool haveEscaped = false;
        bool havePlain = false;
        std::lock_guard guard(m_lock);
        for (TZvLog *sink : m_sinks) {
            try {
                if (sink->escape()) {
                    if (!haveEscaped) {
                        if (!escaped.isEmpty())
                            escaped.resize(0);
                        LogAppendEscaped(escaped, line);
                        haveEscaped = true;
                    }
                    sink->writeEntry(escaped, kind);
                } else {
                    if (!havePlain) {
                        plain = line.toUtf8();
                        havePlain = true;
                    }
                    sink->writeEntry(plain, kind);
                }
            } catch (...) {
                // One failing sink does not keep the line from the others.
            }
        }
    } catch (...) {
    }
}

void TClassData::deliverLatin1(LineBuffers &buffers, QLatin1StringView line,
                               quint32 kind) noexcept {
    try {
        const QByteArray *escaped = nullptr;
        const QByteArray *plain = nullptr;
        std::lock_guard guard(m_lock);
        for (TZvLog *sink : m_sinks) {
            try {
                if (sink->escape()) {
                    if (sink->writeLatin1Entry(line, kind))
                        continue;
                    if (!escaped) {
                        // Printable ASCII is its own UTF-8.
                        if (LogEscapeInto(buffers.escaped, line) && !plain)
                            plain = &buffers.escaped;
                        escaped = &buffers.escaped;
                    }
                    sink->writeEntry(*escaped, kind);
                } else {
                    if (!plain) {
                        QByteArray &out = buffers.plain;
                        if (!out.isEmpty())
                            out.resize(0);
                        LogAppendUtf8(out, line);
                        plain = &out;
                    }
                    sink->writeEntry(*plain, kind);
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
    m_sinkCount.store(qsizetype(m_sinks.size()), std::memory_order_relaxed);
}

void TClassData::removeSink(TZvLog *sink) {
    std::lock_guard guard(m_lock);
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
    m_sinkCount.store(qsizetype(m_sinks.size()), std::memory_order_relaxed);
}

TZvLog::TZvLog(const QString &name, TClassData &holder) : m_holder(holder), m_name(name) {
    m_holder.addSink(this);
    m_attached = true;
}

TZvLog::~TZvLog() {
    detach();
}

void TZvLog::write(const QByteArray &) {}

void TZvLog::writeEntry(const QByteArray &line, quint32) {
    write(line);
}

bool TZvLog::writeLatin1Entry(QLatin1StringView, quint32) {
    return false;
}

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

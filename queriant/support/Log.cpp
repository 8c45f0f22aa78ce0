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

// What a thread keeps between entries: the parts of the prefix that change seldom, as text.
struct TThreadLogState {
    char threadIdText[32] = {};
    qsizetype threadIdLength = 0;

    quint64 settingsSerial = 0;
    QString sourceName;
    std::shared_ptr<const TLogLocaleInfo> localeInfo;

    TDateText<char> latin1Date;
    TDateText<char16_t> utf16Date;

    // The Latin-1 prefix after the date for the last options, category and kind.
    bool tailValid = false;
    quint32 tailOptions = 0;
    quint32 tailCategory = 0;
    quint32 tailKind = 0;
    TLogLatin1Text tailText;

    TThreadLogState() { threadIdLength = LogDecimal(threadIdText, ::gettid(), 3); }

    template <typename Char> TDateText<Char> &date() {
        if constexpr (std::is_same_v<Char, char>)
            return latin1Date;
        else
            return utf16Date;
    }
};

thread_local TThreadLogState threadState;

// A buffer a thread reuses from entry to entry so that its capacity stays. A sink that logs
// from inside a delivery gets a buffer of its own.
template <typename Buffer> class TReusedBuffer {
public:
    TReusedBuffer() {
        if (!slot().busy) {
            slot().busy = true;
            m_buffer = &slot().buffer;
        } else {
            m_buffer = &m_own.emplace();
        }
    }
    ~TReusedBuffer() {
        if (m_buffer == &slot().buffer)
            slot().busy = false;
    }
    TReusedBuffer(const TReusedBuffer &) = delete;
    TReusedBuffer &operator=(const TReusedBuffer &) = delete;
    Buffer &operator*() { return *m_buffer; }

private:
    struct Slot {
        Buffer buffer;
        bool busy = false;
    };
    static Slot &slot() {
        thread_local Slot s;
        return s;
    }
    std::optional<Buffer> m_own;
    Buffer *m_buffer;
};

struct TEscapedLine : QByteArray {};
struct TPlainLine : QByteArray {};

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
void TClassData::appendPrefix(TLogBuffer<Char> &out, quint32 options, quint32 category,
                              quint32 kind) {
    TThreadLogState &cache = threadState;
    if (cache.settingsSerial != m_settingsSerial.load(std::memory_order_acquire)) {
        std::lock_guard guard(m_settingsLock);
        cache.sourceName = m_sourceName;
        cache.localeInfo = m_localeInfo;
        cache.settingsSerial = m_settingsSerial.load(std::memory_order_relaxed);
        cache.latin1Date.second = -1;
        cache.utf16Date.second = -1;
        cache.tailValid = false;
    }
    out += QLatin1Char('[');
    if (options & loDateTime) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        TDateText<Char> &date = cache.date<Char>();
        if (now.tv_sec != date.second) {
            date.text.clear();
            LogAppendDateToSeconds(date.text, LogLocalTime(now.tv_sec, 0), *cache.localeInfo);
            date.second = now.tv_sec;
        }
        out.append(date.text);
        LogAppendMilliseconds(out, int(now.tv_nsec / 1000000));
    }
    const quint32 tailOptions = options & ~loDateTime;
    const auto tail = [&] {
        return TLogPrefixTail{QLatin1StringView(m_processIdText, m_processIdLength),
                              QLatin1StringView(cache.threadIdText, cache.threadIdLength), category,
                              kind, cache.sourceName};
    };
    if constexpr (std::is_same_v<Char, char>) {
        if (!cache.tailValid || cache.tailOptions != tailOptions ||
            cache.tailCategory != category || cache.tailKind != kind) {
            cache.tailText.clear();
            LogAppendPrefixTail(cache.tailText, tailOptions, tail());
            cache.tailOptions = tailOptions;
            cache.tailCategory = category;
            cache.tailKind = kind;
            cache.tailValid = true;
        }
        out.append(cache.tailText);
    } else {
        LogAppendPrefixTail(out, tailOptions, tail());
    }
}

void TClassData::entry(quint32 category, quint32 kind, quint32 level, const char *format,
                       std::span<const TLogArg> args) noexcept {
    try {
        if (!passes(category, kind, level))
            return;
        const quint32 opts = options();
        {
            // Most lines have no character above 255 and are built in Latin-1.
            TReusedBuffer<TLogLatin1Text> buffer;
            TLogLatin1Text &line = *buffer;
            line.clear();
            if (opts != 0)
                appendPrefix(line, opts, category, kind);
            if (!line.isWide()) {
                if (!LogAppendMessage(line, format, args))
                    return;
                if (!line.isWide()) {
                    deliverLatin1(line.view(), kind);
                    return;
                }
            }
        }
        TReusedBuffer<TLogText> buffer;
        TLogText &line = *buffer;
        line.clear();
        if (opts != 0)
            appendPrefix(line, opts, category, kind);
        if (!LogAppendMessage(line, format, args))
            return;
        deliver(line.view(), kind);
    } catch (...) {
        // The log never fails its caller.
    }
}

void TClassData::deliver(QStringView line, quint32 kind) noexcept {
    try {
        TReusedBuffer<TEscapedLine> escapedBuffer;
        TReusedBuffer<TPlainLine> plainBuffer;
        QByteArray &escaped = *escapedBuffer;
        QByteArray &plain = *plainBuffer;
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

void TClassData::deliverLatin1(QLatin1StringView line, quint32 kind) noexcept {
    try {
        TReusedBuffer<TEscapedLine> escapedBuffer;
        TReusedBuffer<TPlainLine> plainBuffer;
        const QByteArray *escaped = nullptr;
        const QByteArray *plain = nullptr;
        std::lock_guard guard(m_lock);
        for (TZvLog *sink : m_sinks) {
            try {
                if (sink->escape()) {
                    if (!escaped) {
                        QByteArray &out = *escapedBuffer;
                        // Printable ASCII is its own UTF-8.
                        if (LogEscapeInto(out, line) && !plain)
                            plain = &out;
                        escaped = &out;
                    }
                    sink->writeEntry(*escaped, kind);
                } else {
                    if (!plain) {
                        QByteArray &out = *plainBuffer;
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

void TZvLog::writeEntry(const QByteArray &line, quint32) {
    write(line);
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

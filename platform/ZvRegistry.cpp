// SPDX-License-Identifier: MIT
#include "ZvRegistry.h"

#include "RegFile.h"
#include "ZvSystemMessage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {

namespace {

bool isUserRoot(RegRoot root) {
    return root == RegRoot::CurrentUser || root == RegRoot::UserClasses;
}

QString hiveRootName(RegRoot root) {
    return isUserRoot(root) ? QStringLiteral("HKEY_CURRENT_USER")
                            : QStringLiteral("HKEY_LOCAL_MACHINE");
}

// The key's path inside its hive file.
QStringList hivePath(RegRoot root, const QString &path) {
    QStringList parts = splitRegPath(path);
    if (root == RegRoot::ClassesRoot)
        parts = QStringList{QStringLiteral("SOFTWARE"), QStringLiteral("Classes")} + parts;
    else if (root == RegRoot::UserClasses)
        parts = QStringList{QStringLiteral("Software"), QStringLiteral("Classes")} + parts;
    return parts;
}

QString joinPath(const QString &base, const QString &relative) {
    const QStringList parts = splitRegPath(base) + splitRegPath(relative);
    return parts.join(QLatin1Char('\\'));
}

QString homeDir() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_dir);
    return QDir::homePath();
}

// A name the text format can carry on one line.
void checkName(const QString &name, const char *what) {
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')) ||
        name.contains(QChar(0)))
        throw ZvRegistryError(QStringLiteral("Invalid registry %1 name \"%2\"")
                                  .arg(QLatin1String(what), name.simplified()));
}

// The hive as on disk now; nullopt when the file does not exist.
std::optional<RegHiveKey> readHive(const QString &file, const QString &rootName) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (!f.exists())
            return std::nullopt;
        throw ZvRegistryError(
            QStringLiteral("Cannot read registry file %1: %2").arg(file, f.errorString()));
    }
    return parseRegText(decodeRegBytes(f.readAll()), rootName, file);
}

// What one stat() tells about a hive file. Writers rename a new file over the hive, so
// every rewrite changes the inode; size and mtime catch editors that write in place.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    explicit FileStamp(const struct stat &st)
        : dev(st.st_dev), ino(st.st_ino), size(st.st_size), mtime(st.st_mtim) {}
    bool operator==(const FileStamp &o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// A file modified this recently may be rewritten again within the same tick of the file
// system's clock, with an inode freed by an earlier rewrite and the same size: its stamp
// cannot tell the two apart yet, so it is not kept.
constexpr qint64 kUnsettledNs = 50'000'000;

bool settledAt(const FileStamp &stamp, const timespec &now) {
    const qint64 age = (qint64(now.tv_sec) - qint64(stamp.mtime.tv_sec)) * 1'000'000'000 +
                       (qint64(now.tv_nsec) - qint64(stamp.mtime.tv_nsec));
    return age >= kUnsettledNs;
}

// Parsed hives of this process, so reads do not parse the whole file each time. Every
// lookup stats the file and parses it again when its stamp changed. Files that do not
// parse are never kept: every read reports them.
class HiveCache {
public:
    // nullptr when the file does not exist.
    std::shared_ptr<const RegHiveKey> hive(const QString &file, const QString &rootName) {
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                forget(file);
                return nullptr;
            }
            return readUncached(file, rootName);
        }
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            const auto it = m_entries.find(file);
            if (it != m_entries.end() && it->second.rootName == rootName &&
                it->second.stamp == FileStamp(st))
                return it->second.hive;
        }
        return readAndKeep(file, rootName);
    }

    void forget(const QString &file) {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.erase(file);
    }

private:
    struct Entry {
        QString rootName;
        FileStamp stamp;
        std::shared_ptr<const RegHiveKey> hive;
    };

    static std::shared_ptr<const RegHiveKey> readUncached(const QString &file,
                                                          const QString &rootName) {
        std::optional<RegHiveKey> hive = readHive(file, rootName);
        return hive ? std::make_shared<const RegHiveKey>(std::move(*hive)) : nullptr;
    }

    // Stamps the open file itself, so the stamp belongs to the bytes parsed even when a
    // writer replaces the file meanwhile.
    std::shared_ptr<const RegHiveKey> readAndKeep(const QString &file, const QString &rootName) {
        forget(file);
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        QFile f(file);
        struct stat st {};
        if (!f.open(QIODevice::ReadOnly) || ::fstat(f.handle(), &st) != 0)
            return readUncached(file, rootName);
        auto hive = std::make_shared<const RegHiveKey>(
            parseRegText(decodeRegBytes(f.readAll()), rootName, file));
        const FileStamp stamp(st);
        if (settledAt(stamp, now)) {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_entries.insert_or_assign(file, Entry{rootName, stamp, hive});
        }
        return hive;
    }

    std::mutex m_mutex;
    std::map<QString, Entry> m_entries;
};

HiveCache &hiveCache() {
    static HiveCache cache;
    return cache;
}

// Creates the missing folders of path with the given mode (the umask still applies).
void makeFolders(const QString &path, mode_t mode) {
    const QString abs = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString sofar;
    for (const QString &part : abs.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(sofar).constData(), mode) != 0 && errno != EEXIST)
            throw ZvRegistryError(QStringLiteral("Cannot create the folder %1: %2")
                                      .arg(sofar, systemErrorMessage(errno)));
    }
}

class FileLock {
public:
    explicit FileLock(const QString &lockPath) {
        m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw ZvRegistryError(QStringLiteral("Cannot open the lock file %1: %2")
                                      .arg(lockPath, systemErrorMessage(errno)));
        int rc;
        do
            rc = ::flock(m_fd, LOCK_EX);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int err = errno;
            ::close(m_fd);
            throw ZvRegistryError(
                QStringLiteral("Cannot lock %1: %2").arg(lockPath, systemErrorMessage(err)));
        }
    }
    ~FileLock() { ::close(m_fd); } // closing releases the lock
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int m_fd = -1;
};

void writeAll(int fd, const QByteArray &bytes, const QString &file) {
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ZvRegistryError(QStringLiteral("Cannot write registry file %1: %2")
                                      .arg(file, systemErrorMessage(errno)));
        p += n;
        left -= n;
    }
}

// Writes a temporary file beside the hive and renames it over the hive, so readers see
// either the old or the new file, never a part of one.
void replaceFile(const QString &file, const QByteArray &content, mode_t mode) {
    QByteArray tmpl = QFile::encodeName(file) + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw ZvRegistryError(QStringLiteral("Cannot create a temporary file beside %1: %2")
                                  .arg(file, systemErrorMessage(errno)));
    try {
        writeAll(fd, content, file);
        if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
            throw ZvRegistryError(QStringLiteral("Cannot write registry file %1: %2")
                                      .arg(file, systemErrorMessage(errno)));
    } catch (...) {
        ::close(fd);
        ::unlink(tmpl.constData());
        throw;
    }
    ::close(fd);
    if (::rename(tmpl.constData(), QFile::encodeName(file).constData()) != 0) {
        const int err = errno;
        ::unlink(tmpl.constData());
        throw ZvRegistryError(QStringLiteral("Cannot replace registry file %1: %2")
                                  .arg(file, systemErrorMessage(err)));
    }
}

// Locked read-modify-write of a whole hive. change returns whether it altered the tree;
// the file is only rewritten then. A file that does not parse stops here, untouched.
void modifyHive(RegRoot root, const std::function<bool(RegHiveKey &)> &change) {
    const QString file = registryFilePath(root);
    const bool user = isUserRoot(root);
    makeFolders(QFileInfo(file).absolutePath(), user ? 0700 : 0755);
    FileLock lock(file + QStringLiteral(".lock"));
    std::optional<RegHiveKey> hive = readHive(file, hiveRootName(root));
    mode_t mode = user ? 0600 : 0644;
    struct stat st {};
    if (hive && ::stat(QFile::encodeName(file).constData(), &st) == 0)
        mode = st.st_mode & 07777;
    if (!hive)
        hive = RegHiveKey(hiveRootName(root));
    if (change(*hive)) {
        replaceFile(file, writeRegText(*hive).toUtf8(), mode);
        hiveCache().forget(file);
    }
}

// Runs read on the key when it exists now.
template <typename T>
T readKey(RegRoot root, const QString &path, T missing,
          const std::function<T(const RegHiveKey &)> &read) {
    const std::shared_ptr<const RegHiveKey> hive =
        hiveCache().hive(registryFilePath(root), hiveRootName(root));
    if (!hive)
        return missing;
    const RegHiveKey *key = hive->find(hivePath(root, path));
    return key ? read(*key) : missing;
}

} // namespace

QString registryFilePath(RegRoot root) {
    if (isUserRoot(root)) {
        const QString over = qEnvironmentVariable("ZORVANT_USER_REG");
        if (!over.isEmpty())
            return over;
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty() || !QDir::isAbsolutePath(config))
            config = homeDir() + QStringLiteral("/.config");
        return config + QStringLiteral("/zorvant/user.reg");
    }
    const QString over = qEnvironmentVariable("ZORVANT_MACHINE_REG");
    return over.isEmpty() ? QStringLiteral("/etc/zorvant/machine.reg") : over;
}

std::optional<ZvRegKey> ZvRegKey::open(RegRoot root, const QString &path) {
    const bool exists = readKey<bool>(root, path, false, [](const RegHiveKey &) { return true; });
    if (!exists)
        return std::nullopt;
    return ZvRegKey(root, joinPath(QString(), path));
}

ZvRegKey ZvRegKey::create(RegRoot root, const QString &path) {
    const QStringList parts = hivePath(root, path);
    for (const QString &p : parts)
        checkName(p, "key");
    modifyHive(root, [&](RegHiveKey &hive) {
        bool created = false;
        hive.ensure(parts, &created);
        return created;
    });
    return ZvRegKey(root, joinPath(QString(), path));
}

bool ZvRegKey::remove(RegRoot root, const QString &path) {
    QStringList parts = hivePath(root, path);
    if (parts.isEmpty())
        return false; // the hive's root key cannot be deleted
    bool removed = false;
    if (!QFileInfo::exists(registryFilePath(root)))
        return false;
    modifyHive(root, [&](RegHiveKey &hive) {
        const QString last = parts.takeLast();
        RegHiveKey *parent = hive.find(parts);
        removed = parent && parent->removeSubKey(last);
        return removed;
    });
    return removed;
}

ZvRegKey ZvRegKey::rewrite(RegRoot root, const QString &path,
                           const QList<std::pair<QString, RegValue>> &values) {
    const QStringList parts = hivePath(root, path);
    if (parts.isEmpty())
        throw ZvRegistryError(QStringLiteral("The root key of a hive cannot be rewritten"));
    for (const QString &p : parts)
        checkName(p, "key");
    for (const auto &nv : values)
        checkName(nv.first, "value");
    modifyHive(root, [&](RegHiveKey &hive) {
        RegHiveKey &key = hive.ensure(parts);
        key = RegHiveKey(key.name);
        for (const auto &[name, value] : values)
            key.setValue(name, value);
        return true;
    });
    return ZvRegKey(root, joinPath(QString(), path));
}

std::optional<ZvRegKey> ZvRegKey::openSubKey(const QString &relative) const {
    return open(m_root, joinPath(m_path, relative));
}

ZvRegKey ZvRegKey::createSubKey(const QString &relative) const {
    return create(m_root, joinPath(m_path, relative));
}

bool ZvRegKey::removeSubKey(const QString &relative) const {
    if (splitRegPath(relative).isEmpty())
        return false;
    return remove(m_root, joinPath(m_path, relative));
}

QStringList ZvRegKey::subKeyNames() const {
    return readKey<QStringList>(m_root, m_path, {}, [](const RegHiveKey &k) {
        QStringList names;
        for (const RegHiveKey &sub : k.subKeys)
            names.append(sub.name);
        return names;
    });
}

QStringList ZvRegKey::valueNames() const {
    return readKey<QStringList>(m_root, m_path, {}, [](const RegHiveKey &k) {
        QStringList names;
        for (const RegNamedValue &nv : k.values)
            names.append(nv.name);
        return names;
    });
}

std::optional<RegValue> ZvRegKey::value(const QString &name) const {
    return readKey<std::optional<RegValue>>(
        m_root, m_path, std::nullopt, [&](const RegHiveKey &k) -> std::optional<RegValue> {
            const RegValue *v = k.value(name);
            return v ? std::optional<RegValue>(*v) : std::nullopt;
        });
}

std::optional<QString> ZvRegKey::readString(const QString &name) const {
    const std::optional<RegValue> v = value(name);
    if (!v || (v->type != RegType::String && v->type != RegType::ExpandString))
        return std::nullopt;
    return v->text;
}

std::optional<quint32> ZvRegKey::readDWord(const QString &name) const {
    const std::optional<RegValue> v = value(name);
    if (!v || v->type != RegType::DWord)
        return std::nullopt;
    return v->dword;
}

std::optional<QByteArray> ZvRegKey::readBinary(const QString &name) const {
    const std::optional<RegValue> v = value(name);
    if (!v || v->type != RegType::Binary)
        return std::nullopt;
    return v->binary;
}

// A key deleted behind this handle's back is created again: the write is not lost.
void ZvRegKey::setValue(const QString &name, const RegValue &v) const {
    checkName(name, "value");
    const QStringList parts = hivePath(m_root, m_path);
    modifyHive(m_root, [&](RegHiveKey &hive) {
        RegHiveKey &key = hive.ensure(parts);
        const RegValue *old = key.value(name);
        if (old && *old == v)
            return false;
        key.setValue(name, v);
        return true;
    });
}

bool ZvRegKey::deleteValue(const QString &name) const {
    if (!QFileInfo::exists(registryFilePath(m_root)))
        return false;
    const QStringList parts = hivePath(m_root, m_path);
    bool removed = false;
    modifyHive(m_root, [&](RegHiveKey &hive) {
        RegHiveKey *key = hive.find(parts);
        removed = key && key->removeValue(name);
        return removed;
    });
    return removed;
}

} // namespace zv

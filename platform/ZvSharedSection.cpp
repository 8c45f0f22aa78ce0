// SPDX-License-Identifier: MIT
#include "ZvSharedSection.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {

namespace {

const QLatin1StringView kGlobal("Global\\");
const QLatin1StringView kLocal("Local\\");

bool hasPrefix(const QString &name, QLatin1StringView prefix) {
    return name.startsWith(prefix, Qt::CaseInsensitive);
}

// Tests and side-by-side installations keep their Global\ and Local\ objects apart from the
// real ones with ZORVANT_OBJECT_NAMESPACE.
QString objectNamespace() {
    const QString over = qEnvironmentVariable("ZORVANT_OBJECT_NAMESPACE");
    if (over.isEmpty() || over.contains(QLatin1Char('/')))
        return QStringLiteral("zorvant");
    return over;
}

// Closes the descriptor on every path out of a scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QByteArray posixObjectName(const QString &name) {
    QString rest = name;
    QString prefix;
    if (hasPrefix(name, kGlobal)) {
        prefix = objectNamespace() + QLatin1Char('.');
        rest = name.mid(kGlobal.size());
    } else if (hasPrefix(name, kLocal)) {
        prefix = QStringLiteral("%1.%2.").arg(objectNamespace()).arg(::getuid());
        rest = name.mid(kLocal.size());
    } else if (name.startsWith(QLatin1Char('/'))) {
        rest = name.mid(1);
    }
    rest.replace(QLatin1Char('\\'), QLatin1Char('.')).replace(QLatin1Char('/'), QLatin1Char('.'));
    QString object = prefix + rest;
    if (object.startsWith(QLatin1String("sem.")))
        object.prepend(QLatin1Char('_'));
    return '/' + object.toUtf8();
}

mode_t defaultObjectMode(const QString &name) {
    return hasPrefix(name, kGlobal) ? 0660 : 0600;
}

ZvSectionError::ZvSectionError(Stage stage, int errorCode)
    : ZvError(QStringLiteral("%1. Error:%2")
                  .arg(stage == Stage::Open  ? QStringLiteral("Failed to open map file")
                       : stage == Stage::Map ? QStringLiteral("Failed to map memory file")
                                             : QStringLiteral("Failed to create map file"))
                  .arg(errorCode)),
      m_stage(stage), m_errorCode(errorCode) {}

std::unique_ptr<ZvSharedSection> ZvSharedSection::mapOpenDescriptor(const QString &name, int fd) {
    // A mapping longer than the object would raise SIGBUS on access, so check first.
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw ZvSectionError(ZvSectionError::Stage::Map, errno);
    if (st.st_size < kSectionSize)
        throw ZvSectionError(ZvSectionError::Stage::Map, EINVAL);
    void *p = ::mmap(nullptr, size_t(kSectionSize), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED)
        throw ZvSectionError(ZvSectionError::Stage::Map, errno);
    return std::unique_ptr<ZvSharedSection>(new ZvSharedSection(name, static_cast<char *>(p)));
}

std::unique_ptr<ZvSharedSection> ZvSharedSection::open(const QString &name) {
    const Fd fd(::shm_open(posixObjectName(name).constData(), O_RDWR | O_CLOEXEC, 0));
    if (fd.get() < 0)
        throw ZvSectionError(ZvSectionError::Stage::Open, errno);
    return mapOpenDescriptor(name, fd.get());
}

std::unique_ptr<ZvSharedSection> ZvSharedSection::create(const QString &name, mode_t mode,
                                                         bool *created) {
    const QByteArray object = posixObjectName(name);
    const Fd fd(::shm_open(object.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        if (errno != EEXIST)
            throw ZvSectionError(ZvSectionError::Stage::Create, errno);
        if (created)
            *created = false;
        return open(name);
    }
    if (::fchmod(fd.get(), mode ? mode : defaultObjectMode(name)) != 0 ||
        ::ftruncate(fd.get(), kSectionSize) != 0) {
        const int err = errno;
        ::shm_unlink(object.constData());
        throw ZvSectionError(ZvSectionError::Stage::Create, err);
    }
    if (created)
        *created = true;
    return mapOpenDescriptor(name, fd.get());
}

bool ZvSharedSection::unlink(const QString &name) {
    return ::shm_unlink(posixObjectName(name).constData()) == 0;
}

ZvSharedSection::~ZvSharedSection() {
    if (m_data)
        ::munmap(m_data, size_t(kSectionSize));
}

} // namespace zv

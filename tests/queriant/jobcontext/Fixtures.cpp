// SPDX-License-Identifier: MIT
#include "Fixtures.h"

#include "ZvSharedSection.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace jobtest {

TestSection::TestSection(const QString &name, const QByteArray &content, qsizetype size)
    : m_name(name) {
    if (size == zv::kSectionSize) {
        zv::ZvSharedSection::create(name);
        write(content);
        return;
    }
    // A section of another size than the client maps, as a faulty peer might leave it.
    const QByteArray posix = zv::posixObjectName(name);
    const int fd = ::shm_open(posix.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0 || ::ftruncate(fd, off_t(size)) != 0)
        throw std::runtime_error("cannot create the short test section");
    ::close(fd);
}

TestSection::~TestSection() {
    zv::ZvSharedSection::unlink(m_name);
}

QByteArray TestSection::bytes() const {
    const auto section = zv::ZvSharedSection::open(m_name);
    return QByteArray(section->data(), section->size());
}

void TestSection::write(const QByteArray &content, qsizetype offset) {
    const auto section = zv::ZvSharedSection::open(m_name);
    std::memcpy(section->data() + offset, content.constData(), size_t(content.size()));
}

bool TestSection::exists(const QString &name) {
    try {
        zv::ZvSharedSection::open(name);
        return true;
    } catch (const zv::ZvError &) {
        return false;
    }
}

void TestSection::unlink(const QString &name) {
    zv::ZvSharedSection::unlink(name);
}

} // namespace jobtest

// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvSharedSection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using zv::ZvSectionError;
using zv::ZvSharedSection;

namespace {

// Removes the section when the test ends, whatever happened.
struct Unlinker {
    QString name;
    ~Unlinker() { ZvSharedSection::unlink(name); }
};

mode_t objectMode(const QString &name) {
    const int fd = ::shm_open(zv::posixObjectName(name).constData(), O_RDONLY, 0);
    if (fd < 0)
        return 0;
    struct stat st {};
    ::fstat(fd, &st);
    ::close(fd);
    return st.st_mode & 07777;
}

struct NameCase {
    const char *name;
    QString in;
    QByteArray out;
};

class SectionName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SectionName, MapsToAPosixName) {
    EXPECT_EQ(zv::posixObjectName(GetParam().in), GetParam().out);
}

const QByteArray kUid = QByteArray::number(::getuid());

INSTANTIATE_TEST_SUITE_P(
    Cases, SectionName,
    ::testing::Values(
        NameCase{"Global", QStringLiteral("Global\\Zorvant Client Update Trigger"),
                 "/zorvant.Zorvant Client Update Trigger"},
        NameCase{"GlobalAnyCase", QStringLiteral("GLOBAL\\x"), "/zorvant.x"},
        NameCase{"LocalIsPerUser", QStringLiteral("Local\\PopupPriorPrintJobDetailsList"),
                 "/zorvant." + kUid + ".PopupPriorPrintJobDetailsList"},
        NameCase{"PosixNameStays", QStringLiteral("/zvjob.1234"), "/zvjob.1234"},
        NameCase{"PlainName", QStringLiteral("zvjob.1234"), "/zvjob.1234"},
        NameCase{"InnerSeparatorsBecomeDots", QStringLiteral("/a/b\\c"), "/a.b.c"},
        NameCase{"LocalWithInnerBackslash", QStringLiteral("Local\\a\\b"),
                 "/zorvant." + kUid + ".a.b"},
        NameCase{"NeverSemaphoreNamespace", QStringLiteral("sem.x"), "/_sem.x"},
        NameCase{"NeverSemaphoreNamespaceFromSlash", QStringLiteral("/sem.x"), "/_sem.x"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SectionNameNamespace, ReplacesTheProductWordOfGlobalAndLocalNames) {
    const zvtest::ScopedEnv ns("ZORVANT_OBJECT_NAMESPACE", "zvtest.7");
    EXPECT_EQ(zv::posixObjectName(QStringLiteral("Local\\X")), "/zvtest.7." + kUid + ".X");
    EXPECT_EQ(zv::posixObjectName(QStringLiteral("Global\\X")), "/zvtest.7.X");
    EXPECT_EQ(zv::posixObjectName(QStringLiteral("/zvjob.1")), "/zvjob.1");
    const zvtest::ScopedEnv bad("ZORVANT_OBJECT_NAMESPACE", "a/b");
    EXPECT_EQ(zv::posixObjectName(QStringLiteral("Global\\X")), "/zorvant.X");
}

TEST(SharedSection, TwoMappingsShareTheBytesAndTheNameOutlivesThem) {
    zvtest::Sandbox box;
    const Unlinker guard{box.uniqueName(QStringLiteral("share"))};
    bool created = false;
    auto a = ZvSharedSection::create(guard.name, 0, &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(a->size(), 16384);
    EXPECT_EQ(std::count(a->data(), a->data() + a->size(), '\0'), 16384);
    std::memcpy(a->data() + 16380, "abcd", 4);

    auto b = ZvSharedSection::open(guard.name);
    EXPECT_EQ(QByteArray(b->data() + 16380, 4), QByteArray("abcd"));
    b->data()[0] = 'Z';
    EXPECT_EQ(a->data()[0], 'Z');

    a.reset();
    b.reset();
    auto again = ZvSharedSection::create(guard.name, 0, &created);
    EXPECT_FALSE(created);
    EXPECT_EQ(again->data()[0], 'Z');
    EXPECT_EQ(objectMode(guard.name), 0600u);
}

TEST(SharedSection, OpeningAMissingSectionCarriesTheErrno) {
    zvtest::Sandbox box;
    const QString name = box.uniqueName(QStringLiteral("missing"));
    try {
        ZvSharedSection::open(name);
        FAIL() << "opened a missing section";
    } catch (const ZvSectionError &e) {
        EXPECT_EQ(e.stage(), ZvSectionError::Stage::Open);
        EXPECT_EQ(e.errorCode(), ENOENT);
        EXPECT_EQ(e.message(), QStringLiteral("Failed to open map file. Error:%1").arg(ENOENT));
    }
    EXPECT_FALSE(ZvSharedSection::unlink(name));

    ZvSharedSection::create(name);
    EXPECT_TRUE(ZvSharedSection::unlink(name));
    EXPECT_THROW(ZvSharedSection::open(name), ZvSectionError);
}

// Mapping 16,384 bytes of a shorter object would fault on the first access past its end.
TEST(SharedSection, AShortSectionIsACleanMapError) {
    zvtest::Sandbox box;
    const Unlinker guard{box.uniqueName(QStringLiteral("short"))};
    const int fd =
        ::shm_open(zv::posixObjectName(guard.name).constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, 4096), 0);
    ::close(fd);
    try {
        auto s = ZvSharedSection::open(guard.name);
        s->data()[16383] = 1; // would raise SIGBUS
        FAIL() << "mapped a short section";
    } catch (const ZvSectionError &e) {
        EXPECT_EQ(e.stage(), ZvSectionError::Stage::Map);
        EXPECT_EQ(e.message(), QStringLiteral("Failed to map memory file. Error:%1").arg(EINVAL));
    }
    EXPECT_THROW(ZvSharedSection::create(guard.name), ZvSectionError); // exists, still short
}

TEST(SharedSection, CreateSetsTheModeWhateverTheUmask) {
    zvtest::Sandbox box;
    const mode_t old = ::umask(0077);
    const Unlinker global{QStringLiteral("Global\\zvtest.%1.mode").arg(::getpid())};
    const Unlinker local{box.uniqueName(QStringLiteral("mode"))};
    const Unlinker given{box.uniqueName(QStringLiteral("given"))};
    ZvSharedSection::create(global.name);
    ZvSharedSection::create(local.name);
    ZvSharedSection::create(given.name, 0640);
    ::umask(old);
    EXPECT_EQ(objectMode(global.name), 0660u);
    EXPECT_EQ(objectMode(local.name), 0600u);
    EXPECT_EQ(objectMode(given.name), 0640u);
}

} // namespace

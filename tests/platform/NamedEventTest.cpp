// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvNamedEvent.h"
#include "ZvSharedSection.h"

#include <QElapsedTimer>

#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zv::ZvNamedEvent;

namespace {

struct EventName {
    QString name;
    ~EventName() { ZvNamedEvent::unlink(name); }
};

TEST(NamedEvent, SignallingTwiceBeforeAWaitWakesOneWaitOnly) {
    zvtest::Sandbox box;
    const EventName ev{box.uniqueName(QStringLiteral("once"))};
    auto e = ZvNamedEvent::openOrCreate(ev.name);
    EXPECT_FALSE(e->isSignalled());
    e->signal();
    e->signal();
    ZvNamedEvent::openOrCreate(ev.name)->signal(); // a second handle on the same event
    EXPECT_TRUE(e->isSignalled());
    EXPECT_TRUE(e->wait(0));
    EXPECT_FALSE(e->isSignalled());
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(e->wait(150));
    EXPECT_GE(t.elapsed(), 140);
}

TEST(NamedEvent, AnotherProcessWakesTheWaiter) {
    zvtest::Sandbox box;
    const EventName ev{box.uniqueName(QStringLiteral("cross"))};
    auto e = ZvNamedEvent::openOrCreate(ev.name);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::usleep(100 * 1000);
        try {
            ZvNamedEvent::open(ev.name)->signal();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    EXPECT_TRUE(e->wait(10000));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0);
}

TEST(NamedEvent, OpeningAMissingEventFailsWithTheErrno) {
    zvtest::Sandbox box;
    try {
        ZvNamedEvent::open(box.uniqueName(QStringLiteral("missing")));
        FAIL() << "opened a missing event";
    } catch (const zv::ZvEventError &e) {
        EXPECT_EQ(e.errorCode(), ENOENT);
    }
}

TEST(NamedEvent, GlobalEventsAreGroupShared) {
    const EventName ev{QStringLiteral("Global\\zvtest.%1.event").arg(::getpid())};
    const mode_t old = ::umask(0077);
    auto e = ZvNamedEvent::openOrCreate(ev.name);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(("/dev/shm/sem." + zv::posixObjectName(ev.name).mid(1)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
}

} // namespace

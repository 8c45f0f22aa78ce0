// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvSyslog.h"
#include "ZvSystemMessage.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using zv::ZvSyslog;

namespace {

// A datagram socket standing in for /dev/log.
class LogSocket {
public:
    explicit LogSocket(const QByteArray &path) {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~LogSocket() { ::close(m_fd); }
    bool bound() const { return m_bound; }
    // The next record, or empty when none arrives within a second.
    QByteArray next() {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1)
            return {};
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }

private:
    int m_fd;
    bool m_bound = false;
};

TEST(Syslog, RecordsCarryPriorityTimeIdentAndPid) {
    const QDateTime when(QDate(2026, 3, 7), QTime(9, 5, 1));
    EXPECT_EQ(ZvSyslog::formatRecord(LOG_DAEMON, ZvSyslog::Severity::Error, when, "comorvantis", 42,
                                     QStringLiteral("Service started: 100%")),
              QByteArray("<27>Mar  7 09:05:01 comorvantis[42]: Service started: 100%"));
    EXPECT_EQ(ZvSyslog::formatRecord(LOG_USER, ZvSyslog::Severity::Information,
                                     QDateTime(QDate(2026, 12, 24), QTime(23, 59, 59)), "x", 1,
                                     QStringLiteral("Gr\u00fc\u00dfe")),
              QByteArray("<14>Dec 24 23:59:59 x[1]: Gr\xc3\xbc\xc3\x9f"
                         "e"));
}

TEST(Syslog, WritesReachTheLogSocketAndSurviveItsAbsence) {
    zvtest::Sandbox box;
    const QByteArray path = box.path(QStringLiteral("log")).toLocal8Bit();
    zvtest::ScopedEnv env("ZORVANT_SYSLOG_SOCKET", path);
    ZvSyslog log(QStringLiteral("comorvantis"));
    log.write(ZvSyslog::Severity::Warning, QStringLiteral("nobody listens")); // dropped quietly

    auto socket = std::make_unique<LogSocket>(path);
    ASSERT_TRUE(socket->bound());
    log.write(ZvSyslog::Severity::Warning, QStringLiteral("first"));
    const QByteArray record = socket->next();
    EXPECT_TRUE(record.startsWith("<28>")) << record.toStdString();
    EXPECT_TRUE(record.endsWith(" comorvantis[" + QByteArray::number(::getpid()) + "]: first"))
        << record.toStdString();

    // The daemon restarts: the next record goes to the new socket.
    socket.reset();
    ::unlink(path.constData());
    socket = std::make_unique<LogSocket>(path);
    log.write(ZvSyslog::Severity::Information, QStringLiteral("second"));
    EXPECT_TRUE(socket->next().endsWith("]: second"));
}

TEST(SystemMessage, TextOfAnErrnoValue) {
    EXPECT_EQ(zv::systemErrorMessage(ENOENT), QStringLiteral("No such file or directory"));
    EXPECT_EQ(zv::systemErrorMessage(EACCES), QStringLiteral("Permission denied"));
    EXPECT_EQ(zv::systemErrorMessage(99999), QString());
}

} // namespace

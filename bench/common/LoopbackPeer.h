// SPDX-License-Identifier: MIT
// Floors for loopback benchmarks: a forked process that answers each connection's requests
// with fixed answers, in order, and the client side of the same round trips; and the CPU time
// a process has used, for per-exchange figures of a server process.
#pragma once

#include <QByteArray>
#include <QList>

#include <sys/types.h>

struct RoundTrips {
    // Request k (it may be empty, for a server that speaks first) is answered with answer k.
    QList<QByteArray> requests, answers;
};

class EchoPeer {
public:
    explicit EchoPeer(const RoundTrips &trips);
    ~EchoPeer();
    EchoPeer(const EchoPeer &) = delete;
    EchoPeer &operator=(const EchoPeer &) = delete;
    // 0 when it did not start.
    int port() const { return m_port; }
    pid_t processId() const { return m_pid; }

private:
    [[noreturn]] void serve(const RoundTrips &trips);

    int m_listen = -1;
    pid_t m_pid = -1;
    int m_port = 0;
};

// One connection's round trips against the peer; buffer must hold the largest answer.
bool roundTrips(int port, const RoundTrips &trips, QByteArray &buffer);

// User and system time a process has used so far, in seconds; -1 when /proc cannot tell.
double ProcessCpuSeconds(qint64 pid);

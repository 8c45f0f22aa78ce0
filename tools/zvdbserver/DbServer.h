// SPDX-License-Identifier: MIT
// TCP database server of the data-service protocol: the authentication packet with a challenge
// (and, unless switched off, an RSA key for the session key), the CONNECT check, encrypted
// packets from then on, the four list requests answered from a DbData, and faults injected
// into chosen answers for the client's tests.
#pragma once

#include "DbData.h"
#include "DbWire.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

typedef struct evp_pkey_st EVP_PKEY;

enum class DbFault {
    None,
    ForeignId,   // an answer with another packet id first, then the right one
    VerbCase,    // the verb in other letter case
    Error,       // an error status with the argument as text
    CloseMid,    // half of the answer, then the connection closes
    LongLength,  // a header whose length field is 0x500000
    Drip,        // one byte every argument milliseconds
    AuthError,   // an error packet in place of the authentication packet
    AuthRefused, // the client's answer to the challenge refused as if it were wrong
};

struct DbFaultPlan {
    DbFault kind = DbFault::None;
    QString argument;
    QString verb; // only answers to this verb; every answer when empty
};

class DbServer {
public:
    DbServer(DbData data, DbFaultPlan fault, bool offerEncryption, std::FILE *log);
    ~DbServer();

    bool makeKey(int bits, QString &error);
    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port or -1.
    int listenOnLoopback(int port, QString &error);
    // Serves connections until the process is stopped, each on a thread of its own.
    void run();

private:
    struct Connection;
    void work();
    void serve(int fd);
    bool authenticate(Connection &c);
    bool readPacket(Connection &c, QByteArray &packet, qsizetype &end);
    bool send(Connection &c, const QByteArray &bytes, bool faulty);
    // The answer to a request; replyVerb is the verb the answer names.
    dbwire::Body answer(const QString &verb, const std::vector<dbwire::Value> &values,
                        const QString &replyVerb) const;
    // answer() through a cache: the data never changes, and encoding a large table costs more
    // than the rest of the exchange.
    dbwire::Body cachedAnswer(const QString &verb, const std::vector<dbwire::Value> &values,
                              const QString &replyVerb);
    void logLine(const QString &line);

    DbData m_data;
    DbFaultPlan m_fault;
    bool m_offerEncryption;
    std::FILE *m_log;
    EVP_PKEY *m_key = nullptr;
    QByteArray m_modulus, m_exponent; // most significant byte first
    int m_listen = -1;
    std::mutex m_poolLock;
    int m_accepting = 0; // workers waiting at the listening socket
    std::atomic<std::uint32_t> m_nextId{1};
    std::mutex m_answersLock;
    std::map<QString, dbwire::Body> m_answers;
};

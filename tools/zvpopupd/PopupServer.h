// SPDX-License-Identifier: MIT
// TCP popup server: raw RSA key exchange, AES-128-CBC bodies, every verb answered from a
// scenario, and faults injected into chosen answers for reliability tests.
#pragma once

#include "Scenario.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct bignum_st BIGNUM;

enum class Fault {
    None,
    Silent,
    HeaderBytes,
    CloseMidBody,
    WrongLength,
    LowerCaseId,
    BadId,
    Drip,
    Garbage,
    Late
};

struct FaultPlan {
    Fault kind = Fault::None;
    int argument = 0;    // header bytes to send, or drip or late delay in milliseconds
    QString verb;        // only this verb's answer, or every answer when empty
    int fromRequest = 1; // first request (counted per connection) the fault applies to
};

class PopupServer {
public:
    PopupServer(Scenario scenario, FaultPlan fault, std::FILE *log);
    ~PopupServer();

    // Generates an RSA key of the given size and public exponent, or loads one (PEM).
    bool makeKey(int bits, unsigned exponent, const QString &pemPath, QString &error);
    // Public key numbers without leading zero digits (an odd digit count where it falls so).
    void setBareHex(bool bare) { m_bareHex = bare; }
    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port or -1.
    int listenOnLoopback(int port, QString &error);
    // Serves connections until the process is stopped, one thread per connection.
    void run();

private:
    struct Connection;
    void serve(int fd);
    bool readMessage(Connection &c, QByteArray &message);
    QStringList answer(Connection &c, const QString &verb, const QStringList &request);
    void send(Connection &c, const QString &verb, const QStringList &values);
    QByteArray frame(Connection &c, const QString &verb, const QStringList &values,
                     bool lowerCaseId);
    bool acceptSessionKey(Connection &c, const QString &hex);
    void logLine(const QString &line);

    Scenario m_scenario;
    FaultPlan m_fault;
    std::FILE *m_log;
    std::mutex m_logLock;
    EVP_PKEY *m_key = nullptr;
    BIGNUM *m_n = nullptr;
    BIGNUM *m_e = nullptr;
    int m_listen = -1;
    bool m_bareHex = false;
    std::atomic<int> m_nextSqlTransaction{500};
};

// SPDX-License-Identifier: MIT
#include "DbServer.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

using namespace dbwire;

namespace {

constexpr std::uint32_t MaxLength = 0x500000;

// Moves all size bytes with send or recv; false when the connection ends first.
template <typename Transfer> bool transferAll(char *data, qsizetype size, Transfer transfer) {
    while (size > 0) {
        const ssize_t n = transfer(data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool writeAll(int fd, const char *data, qsizetype size) {
    return transferAll(const_cast<char *>(data), size,
                       [fd](char *p, size_t n) { return ::send(fd, p, n, MSG_NOSIGNAL); });
}

// Receives into buffer until it holds at least need bytes; false when the connection ends
// first.
bool receiveAtLeast(int fd, QByteArray &buffer, qsizetype need) {
    constexpr qsizetype Room = 4096;
    while (buffer.size() < need) {
        const qsizetype have = buffer.size();
        buffer.resize(std::max(need, have + Room));
        const ssize_t n =
            ::recv(fd, buffer.data() + have, static_cast<size_t>(buffer.size() - have), 0);
        buffer.resize(have + std::max<ssize_t>(n, 0));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
    }
    return true;
}

// The answer the client must give: (challenge * 1394620857 + 2008317641) mod 1576034219, the
// remainder between 0 and the divisor.
std::int32_t expectedAnswer(std::int32_t challenge) {
    const std::int64_t divisor = 1576034219;
    std::int64_t r = (static_cast<std::int64_t>(challenge) * 1394620857 + 2008317641) % divisor;
    if (r < 0)
        r += divisor;
    return static_cast<std::int32_t>(r);
}

QByteArray bignumBytes(const BIGNUM *n) {
    QByteArray out(BN_num_bytes(n), '\0');
    BN_bn2bin(n, reinterpret_cast<unsigned char *>(out.data()));
    return out;
}

void addTable(Body &body, const DbTable &table) {
    body.addTableStart(static_cast<std::uint32_t>(table.columns.size()));
    body.addUInt32(static_cast<std::uint32_t>(table.rows.size()));
    for (const QString &c : table.columns)
        body.addString(c);
    for (const QStringList &row : table.rows)
        for (const QString &cell : row)
            cell.isEmpty() ? body.addNullString() : body.addString(cell);
}

std::optional<QString> stringAt(const std::vector<Value> &v, size_t k) {
    if (k >= v.size() || v[k].null)
        return std::nullopt;
    return v[k].text();
}

QString otherCase(const QString &verb) {
    QString out = verb;
    for (QChar &ch : out)
        ch = ch.isUpper() ? ch.toLower() : ch.toUpper();
    return out;
}

// A decryption context of the private key for this thread, set up once: making one looks the
// key's implementation up again each time.
EVP_PKEY_CTX *privateKeyContext(EVP_PKEY *key) {
    struct Context {
        EVP_PKEY *key = nullptr;
        EVP_PKEY_CTX *ctx = nullptr;
        ~Context() { EVP_PKEY_CTX_free(ctx); }
    };
    thread_local Context context;
    if (context.key != key) {
        EVP_PKEY_CTX_free(std::exchange(context.ctx, nullptr));
        context.key = key;
        EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(key, nullptr);
        if (ctx && EVP_PKEY_decrypt_init(ctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1)
            context.ctx = ctx;
        else
            EVP_PKEY_CTX_free(ctx);
    }
    return context.ctx;
}

} // namespace

struct DbServer::Connection {
    int fd = -1;
    QByteArray ahead; // received bytes of the next packet
    bool encrypted = false;
    Key key{};
};

DbServer::DbServer(DbData data, DbFaultPlan fault, bool offerEncryption, std::FILE *log)
    : m_data(std::move(data)), m_fault(std::move(fault)), m_offerEncryption(offerEncryption),
      m_log(log) {}

DbServer::~DbServer() {
    EVP_PKEY_free(m_key);
    if (m_listen >= 0)
        ::close(m_listen);
}

// One write per line: lines of several workers stay whole without a lock.
void DbServer::logLine(const QString &line) {
    const QByteArray text = "zvdbserver: " + line.toUtf8() + '\n';
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = ::write(::fileno(m_log), text.constData() + done,
                                  static_cast<size_t>(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

bool DbServer::makeKey(int bits, QString &error) {
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    if (ctx && EVP_PKEY_keygen_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) == 1)
        EVP_PKEY_generate(ctx, &m_key);
    EVP_PKEY_CTX_free(ctx);
    BIGNUM *n = nullptr, *e = nullptr;
    if (m_key && EVP_PKEY_get_bn_param(m_key, OSSL_PKEY_PARAM_RSA_N, &n) == 1 &&
        EVP_PKEY_get_bn_param(m_key, OSSL_PKEY_PARAM_RSA_E, &e) == 1) {
        m_modulus = bignumBytes(n);
        m_exponent = bignumBytes(e);
    }
    BN_free(n);
    BN_free(e);
    if (m_modulus.isEmpty())
        error = QStringLiteral("no usable RSA key");
    return !m_modulus.isEmpty();
}

int DbServer::listenOnLoopback(int port, QString &error) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // Answers are written whole and then wait for the next request, so Nagle's delay buys
    // nothing; accepted sockets inherit the option.
    ::setsockopt(m_listen, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 16) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// Every worker accepts for itself, so that a connection goes straight to the thread that
// serves it; a worker that takes the last free place at the listening socket starts another,
// so one is always waiting. The per-thread set-up of the cipher library is paid once per
// worker, not once per connection.
void DbServer::run() {
    {
        std::lock_guard<std::mutex> lock(m_poolLock);
        ++m_accepting;
    }
    work();
}

void DbServer::work() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            std::lock_guard<std::mutex> lock(m_poolLock);
            --m_accepting;
            return;
        }
        bool another = false;
        {
            std::lock_guard<std::mutex> lock(m_poolLock);
            if (--m_accepting == 0) {
                ++m_accepting;
                another = true;
            }
        }
        if (another)
            std::thread([this] { work(); }).detach();
        serve(fd);
        std::lock_guard<std::mutex> lock(m_poolLock);
        ++m_accepting;
    }
}

// A receive takes whatever has come, up to a few kilobytes, so that a request usually comes
// in one; bytes beyond the packet wait in the connection for the next one.
bool DbServer::readPacket(Connection &c, QByteArray &packet, qsizetype &end) {
    packet.resize(0);
    packet.append(c.ahead);
    c.ahead.resize(0);
    if (!receiveAtLeast(c.fd, packet, 13))
        return false;
    const std::uint32_t length = lengthOf(packet);
    if (!packet.startsWith("ZVCOM") || length <= 13 || length >= MaxLength) {
        logLine(QStringLiteral("bad header, closing"));
        return false;
    }
    if (!receiveAtLeast(c.fd, packet, length))
        return false;
    if (packet.size() > length) {
        c.ahead.append(packet.constData() + length, packet.size() - length);
        packet.resize(length);
    }
    end = c.encrypted ? decrypt(packet, c.key) : packet.size();
    if (end < 0)
        logLine(QStringLiteral("packet does not decipher, closing"));
    return end >= 0;
}

bool DbServer::send(Connection &c, const QByteArray &bytes, bool faulty) {
    if (!faulty)
        return writeAll(c.fd, bytes.constData(), bytes.size());
    switch (m_fault.kind) {
    case DbFault::CloseMid:
        writeAll(c.fd, bytes.constData(), bytes.size() / 2);
        return false;
    case DbFault::LongLength: {
        QByteArray header = bytes.left(13);
        const std::uint32_t tooLong = MaxLength;
        for (int k = 0; k < 4; ++k)
            header[5 + k] = static_cast<char>(tooLong >> (8 * k));
        writeAll(c.fd, header.constData(), header.size());
        return false;
    }
    case DbFault::Drip: {
        const int delay = m_fault.argument.toInt();
        for (const char b : bytes) {
            if (!writeAll(c.fd, &b, 1))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        return true;
    }
    default:
        return writeAll(c.fd, bytes.constData(), bytes.size());
    }
}

bool DbServer::authenticate(Connection &c) {
    if (m_fault.kind == DbFault::AuthError) {
        logLine(QStringLiteral("connection opened"));
        Body refusal;
        refusal.addString(QStringLiteral("ERROR"));
        refusal.addInt8('E');
        refusal.addString(m_fault.argument);
        send(c, frame(m_nextId++, refusal, nullptr), false);
        return false;
    }
    std::int32_t challenge = 0;
    RAND_bytes(reinterpret_cast<unsigned char *>(&challenge), sizeof challenge);
    Body offer;
    offer.addString(QStringLiteral("AUTHENTICATE"));
    offer.addInt32(challenge);
    if (m_offerEncryption) {
        offer.addInt32(1);
        offer.addBinary(m_exponent);
        offer.addBinary(m_modulus);
    }
    // Written while the client works on the offer.
    const bool offered = send(c, frame(m_nextId++, offer, nullptr), false);
    logLine(QStringLiteral("connection opened"));
    if (!offered)
        return false;

    QByteArray packet;
    qsizetype end = 0;
    std::vector<Value> values;
    const bool got = readPacket(c, packet, end) && parse(packet, end, values);
    bool ok = got && values.size() >= 4 && values[0].text() == QLatin1String("CONNECT") &&
              values[3].code == Int32 && values[3].number() == expectedAnswer(challenge);
    bool keyed = false;
    if (ok && m_offerEncryption && values.size() >= 6 && values[5].code == Binary) {
        // Raw RSA (no padding): the low 16 bytes of c^d mod n are the session key; a key
        // whose first byte is 0 or 1 was sent with a 0x01 byte above it.
        EVP_PKEY_CTX *ctx = privateKeyContext(m_key);
        QByteArray plain(EVP_PKEY_get_size(m_key), '\0');
        const QByteArray wrapped = values[5].payload.rightJustified(plain.size(), '\0');
        size_t size = static_cast<size_t>(plain.size());
        if (values[5].payload.size() <= plain.size() && ctx &&
            EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char *>(plain.data()), &size,
                             reinterpret_cast<const unsigned char *>(wrapped.constData()),
                             static_cast<size_t>(wrapped.size())) == 1) {
            plain.resize(static_cast<qsizetype>(size));
            qsizetype first = 0;
            while (first < plain.size() && plain[first] == '\0')
                ++first;
            const qsizetype length = plain.size() - first;
            if (length == 16 || length == 17) {
                std::memcpy(c.key.data(), plain.constData() + plain.size() - 16, 16);
                keyed = true;
            }
        }
        OPENSSL_cleanse(plain.data(), static_cast<size_t>(plain.size()));
    }
    if (m_offerEncryption && ok && !keyed)
        ok = false;
    if (m_fault.kind == DbFault::AuthRefused)
        ok = false;
    const auto logConnect = [&] {
        logLine(QStringLiteral("CONNECT machine=%1 client=%2 %3 %4")
                    .arg(values.size() > 1 ? values[1].text() : QString(),
                         values.size() > 2 ? values[2].text() : QString(),
                         ok ? QStringLiteral("accepted") : QStringLiteral("refused"),
                         keyed ? QStringLiteral("encrypted") : QStringLiteral("plain")));
    };
    // A refusal is in the log before the client hears of it; an acceptance is written while
    // the client goes on, ahead of the lines of its requests.
    if (!ok)
        logConnect();

    Body reply;
    reply.addString(QStringLiteral("CONNECT"));
    reply.addInt8(ok ? 'S' : 'E');
    if (!ok)
        reply.addString(QStringLiteral("Authentication failed"));
    const std::uint32_t id = got ? idOf(packet) : m_nextId++;
    const bool sent = send(c, frame(id, reply, nullptr), false);
    if (ok)
        logConnect();
    if (!sent || !ok)
        return false;
    c.encrypted = keyed;
    return true;
}

Body DbServer::answer(const QString &verb, const std::vector<Value> &v,
                      const QString &replyVerb) const {
    Body body;
    body.addString(replyVerb);
    DbTable table;
    const std::uint32_t count = v.size() > 1 ? static_cast<std::uint32_t>(v[1].number()) : 0;
    if (verb == QLatin1String("ServerList")) {
        std::optional<qint64> number;
        if (count > 1 && v.size() > 3 && !v[3].null)
            number = v[3].number();
        table = m_data.serverList(count >= 1 ? stringAt(v, 2) : std::nullopt, number);
    } else if (verb == QLatin1String("ServiceTypeGet")) {
        table = m_data.serviceType(stringAt(v, 1).value_or(QString()));
    } else if (verb == QLatin1String("SpoolqList")) {
        table = m_data.spoolqList(count != 0 ? stringAt(v, 2) : std::nullopt);
    } else if (verb == QLatin1String("SpoolqQGroupList")) {
        table = m_data.spoolqGroupList(stringAt(v, 1).value_or(QString()));
    } else {
        body.addInt8('E');
        body.addString(QStringLiteral("Unknown request: ") + verb);
        return body;
    }
    body.addInt8('S');
    addTable(body, table);
    return body;
}

dbwire::Body DbServer::cachedAnswer(const QString &verb, const std::vector<Value> &v,
                                    const QString &replyVerb) {
    QString key = replyVerb;
    for (const Value &value : v) {
        key += QChar(0x1F) + QString::number(value.code);
        if (!value.null)
            key += QChar(0x1E) + value.text();
    }
    std::lock_guard<std::mutex> lock(m_answersLock);
    if (const auto found = m_answers.find(key); found != m_answers.end())
        return found->second;
    // Requests with ever new arguments must not grow the cache without end.
    if (m_answers.size() >= 64)
        m_answers.clear();
    return m_answers.emplace(key, answer(verb, v, replyVerb)).first->second;
}

void DbServer::serve(int fd) {
    Connection c;
    c.fd = fd;
    if (authenticate(c)) {
        QByteArray packet;
        qsizetype end = 0;
        while (readPacket(c, packet, end)) {
            std::vector<Value> values;
            if (!parse(packet, end, values) || values.empty() || values[0].code != String) {
                logLine(QStringLiteral("malformed request, closing"));
                break;
            }
            const QString verb = values[0].text();
            QStringList shown;
            for (size_t k = 1; k < values.size(); ++k)
                shown << (values[k].null ? QStringLiteral("<null>") : values[k].text());
            logLine(QStringLiteral("REQUEST %1 id=%2 %3")
                        .arg(verb)
                        .arg(idOf(packet))
                        .arg(shown.join(QLatin1Char('|'))));

            const bool faulty =
                m_fault.kind != DbFault::None && (m_fault.verb.isEmpty() || m_fault.verb == verb);
            const Key *key = c.encrypted ? &c.key : nullptr;
            const std::uint32_t id = idOf(packet);
            Body body;
            if (faulty && m_fault.kind == DbFault::Error) {
                body.addString(verb);
                body.addInt8('E');
                body.addString(m_fault.argument);
            } else {
                body = cachedAnswer(verb, values,
                                    faulty && m_fault.kind == DbFault::VerbCase ? otherCase(verb)
                                                                                : verb);
            }
            if (faulty && m_fault.kind == DbFault::ForeignId &&
                !send(c, frame(id + 1000, answer(verb, values, verb), key), false))
                break;
            // Kept by the thread, so that a large answer finds its buffer in place.
            thread_local QByteArray out;
            frame(id, body, key, out);
            if (!send(c, out, faulty))
                break;
        }
    }
    logLine(QStringLiteral("connection closed"));
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

// SPDX-License-Identifier: MIT
#include "PopupServer.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

namespace {

constexpr int HeaderLength = 19;
constexpr char Separator = '\x0c';
// The fixed mask every peer XORs into the session key (docs/protocol.md).
constexpr unsigned char KeyMask[16] = {0xA7, 0x1E, 0x5C, 0x93, 0x02, 0xF8, 0x6B, 0xD4,
                                       0x39, 0xC0, 0x85, 0x2E, 0x71, 0x4A, 0xE6, 0xBD};

bool writeAll(int fd, const char *data, qsizetype size) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, static_cast<size_t>(size - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// OpenSSL's AES-128-CBC, fetched once: looking the cipher up by name for every message would
// cost more than ciphering it.
const EVP_CIPHER *aes128Cbc() {
    static EVP_CIPHER *const fetched = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
    return fetched ? fetched : EVP_aes_128_cbc();
}

// AES-128-CBC from a zero IV over whole blocks, in place, with a context keyed for the session.
bool aesCbc(EVP_CIPHER_CTX *ctx, char *data, qsizetype size) {
    if (!ctx || size == 0 || size % 16 != 0)
        return false;
    const unsigned char iv[16] = {};
    auto *bytes = reinterpret_cast<unsigned char *>(data);
    int produced = 0;
    return EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, iv, -1) == 1 &&
           EVP_CipherUpdate(ctx, bytes, &produced, bytes, static_cast<int>(size)) == 1 &&
           produced == size;
}

EVP_CIPHER_CTX *sessionCipher(const unsigned char key[16], bool encrypt) {
    const unsigned char iv[16] = {};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    if (ctx && EVP_CipherInit_ex(ctx, aes128Cbc(), nullptr, key, iv, encrypt ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) == 1)
        return ctx;
    EVP_CIPHER_CTX_free(ctx);
    return nullptr;
}

// A field as UTF-8 followed by the separator; ASCII text, the usual case, is copied as it is.
void appendUtf8(QByteArray &out, const QString &field) {
    const bool ascii =
        std::all_of(field.begin(), field.end(), [](QChar ch) { return ch.unicode() < 0x80; });
    if (ascii) {
        const qsizetype at = out.size();
        out.resize(at + field.size());
        char *to = out.data() + at;
        for (QChar ch : field)
            *to++ = static_cast<char>(ch.unicode());
    } else {
        out += field.toUtf8();
    }
    out += Separator;
}

QString describe(const QString &verb, const QStringList &request) {
    QStringList shown = request;
    if (verb == QLatin1String("VERIFYLASTANSWERS") && shown.size() > 7)
        shown[7] = QStringLiteral("<answers not logged>");
    return verb + QStringLiteral(" [") + shown.join(QStringLiteral("|")) + QLatin1Char(']');
}

} // namespace

struct PopupServer::Connection {
    int fd = -1;
    int requests = 0;
    bool encrypted = false;
    unsigned char aesKey[16] = {};
    // Keyed from aesKey when the session key arrives; each message resets only the IV.
    EVP_CIPHER_CTX *encrypt = nullptr;
    EVP_CIPHER_CTX *decrypt = nullptr;
    QString queue;
    int nextDescriptor = 0;
    // Result sets of GETSQLLIST: the rows, how far GETSQLDATA got, rows per chunk.
    struct SqlResult {
        QStringList rows;
        qsizetype next = 0;
        int chunkRows = 2;
    };
    std::map<int, SqlResult> sqlResults;
    // Bytes received and not yet taken. The client never sends ahead, so one receive usually
    // brings a whole request, header and body.
    QByteArray inbox;
    qsizetype inboxAt = 0;

    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    void keyCiphers() {
        EVP_CIPHER_CTX_free(encrypt);
        EVP_CIPHER_CTX_free(decrypt);
        encrypt = sessionCipher(aesKey, true);
        decrypt = sessionCipher(aesKey, false);
    }
    bool take(char *out, qsizetype count) {
        while (inbox.size() - inboxAt < count) {
            inbox.remove(0, inboxAt);
            inboxAt = 0;
            const qsizetype held = inbox.size();
            const qsizetype room = std::max<qsizetype>(count - held, 4096);
            inbox.resize(held + room);
            ssize_t n;
            do {
                n = ::recv(fd, inbox.data() + held, static_cast<size_t>(room), 0);
            } while (n < 0 && errno == EINTR);
            inbox.resize(held + std::max<ssize_t>(n, 0));
            if (n <= 0)
                return false;
        }
        std::memcpy(out, inbox.constData() + inboxAt, static_cast<size_t>(count));
        inboxAt += count;
        return true;
    }
    ~Connection() {
        EVP_CIPHER_CTX_free(encrypt);
        EVP_CIPHER_CTX_free(decrypt);
        OPENSSL_cleanse(aesKey, sizeof aesKey);
    }
};

PopupServer::PopupServer(Scenario scenario, FaultPlan fault, std::FILE *log)
    : m_scenario(std::move(scenario)), m_fault(std::move(fault)), m_log(log) {}

PopupServer::~PopupServer() {
    BN_free(m_n);
    BN_free(m_e);
    EVP_PKEY_free(m_key);
    if (m_listen >= 0)
        ::close(m_listen);
}

void PopupServer::logLine(const QString &line) {
    std::lock_guard<std::mutex> lock(m_logLock);
    std::fprintf(m_log, "zvpopupd: %s\n", line.toUtf8().constData());
    std::fflush(m_log);
}

bool PopupServer::makeKey(int bits, unsigned exponent, const QString &pemPath, QString &error) {
    if (!pemPath.isEmpty()) {
        std::FILE *f = std::fopen(pemPath.toLocal8Bit().constData(), "r");
        if (!f) {
            error = QStringLiteral("cannot open key file %1").arg(pemPath);
            return false;
        }
        m_key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
        std::fclose(f);
    } else {
        EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        BIGNUM *e = BN_new();
        BN_set_word(e, exponent);
        if (ctx && EVP_PKEY_keygen_init(ctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) == 1 &&
            EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx, e) == 1)
            EVP_PKEY_generate(ctx, &m_key);
        BN_free(e);
        EVP_PKEY_CTX_free(ctx);
    }
    // The private exponent is only checked for here: decryption goes through the key itself.
    BIGNUM *d = nullptr;
    const bool usable = m_key && EVP_PKEY_get_bn_param(m_key, OSSL_PKEY_PARAM_RSA_N, &m_n) == 1 &&
                        EVP_PKEY_get_bn_param(m_key, OSSL_PKEY_PARAM_RSA_E, &m_e) == 1 &&
                        EVP_PKEY_get_bn_param(m_key, OSSL_PKEY_PARAM_RSA_D, &d) == 1;
    BN_clear_free(d);
    if (!usable)
        error = QStringLiteral("no usable RSA key");
    return usable;
}

int PopupServer::listenOnLoopback(int port, QString &error) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 16) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    socklen_t length = sizeof address;
    getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

void PopupServer::run() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        std::thread([this, fd] { serve(fd); }).detach();
    }
}

void PopupServer::serve(int fd) {
    Connection c;
    c.fd = fd;
    logLine(QStringLiteral("connection opened"));
    QByteArray message;
    while (readMessage(c, message)) {
        ++c.requests;
        // Body fields: verb first, then the request's parameters; the last one ends in 0x0C.
        QList<QByteArray> parts = message.mid(HeaderLength).split(Separator);
        if (!parts.isEmpty() && parts.last().isEmpty())
            parts.removeLast();
        QStringList request;
        for (const QByteArray &p : parts)
            request << QString::fromUtf8(p);
        const QString verb = request.isEmpty() ? QString() : request.takeFirst();
        logLine(QStringLiteral("received ") + describe(verb, request));
        OPENSSL_cleanse(message.data(), static_cast<size_t>(message.size()));
        const QStringList values = answer(c, verb, request);
        send(c, verb, values);
        if (verb == QLatin1String("SETSESSIONKEY")) {
            c.encrypted = true;
            c.keyCiphers();
        }
        if (c.fd < 0)
            break;
    }
    if (c.fd >= 0)
        ::close(c.fd);
    logLine(QStringLiteral("connection closed"));
}

bool PopupServer::readMessage(Connection &c, QByteArray &message) {
    message = QByteArray(HeaderLength, '\0');
    if (!c.take(message.data(), HeaderLength))
        return false;
    if (!message.startsWith("ZVPOPUP")) {
        logLine(QStringLiteral("bad identifier, closing"));
        return false;
    }
    bool ok = false;
    const int length = message.mid(12, 6).toInt(&ok);
    if (!ok || length < HeaderLength || length > 999999) {
        logLine(QStringLiteral("bad length field, closing"));
        return false;
    }
    message.resize(length);
    if (!c.take(message.data() + HeaderLength, length - HeaderLength))
        return false;
    if (c.encrypted) {
        const bool decrypted =
            aesCbc(c.decrypt, message.data() + HeaderLength, message.size() - HeaderLength);
        const int pad = decrypted ? static_cast<unsigned char>(message.back()) : 0;
        if (pad < 1 || pad > 16) {
            logLine(QStringLiteral("undecryptable body, closing"));
            return false;
        }
        message.chop(pad);
    }
    return true;
}

// Raw RSA (no padding) through OpenSSL's private-key operation, which uses the key's CRT
// factors: several times faster than c^d mod n with the whole private exponent.
bool PopupServer::acceptSessionKey(Connection &c, const QString &hex) {
    const QByteArray text = hex.toLatin1();
    BIGNUM *cipher = nullptr;
    if (text.isEmpty() || BN_hex2bn(&cipher, text.constData()) != text.size()) {
        BN_free(cipher);
        return false;
    }
    const int size = BN_num_bytes(m_n);
    std::vector<unsigned char> in(static_cast<size_t>(size)), out(static_cast<size_t>(size));
    size_t produced = out.size();
    BN_CTX *bn = BN_CTX_new();
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, m_key, nullptr);
    // The exponentiation works on c mod n, as c^d mod n always did.
    bool ok = bn && ctx && BN_nnmod(cipher, cipher, m_n, bn) == 1 &&
              BN_bn2binpad(cipher, in.data(), size) == size && EVP_PKEY_decrypt_init(ctx) == 1 &&
              EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
              EVP_PKEY_decrypt(ctx, out.data(), &produced, in.data(), in.size()) == 1 &&
              produced == out.size() && size >= 17;
    // The client prefixes 0x01 to keys starting with 0x00 or 0x01: keep the low 16 bytes.
    for (int k = 0; ok && k < size - 17; ++k)
        ok = out[static_cast<size_t>(k)] == 0;
    if (ok) {
        for (int k = 0; k < 16; ++k)
            c.aesKey[k] = out[static_cast<size_t>(size - 16 + k)] ^ KeyMask[k];
    }
    OPENSSL_cleanse(out.data(), out.size());
    EVP_PKEY_CTX_free(ctx);
    BN_CTX_free(bn);
    BN_free(cipher);
    return ok;
}

QStringList PopupServer::answer(Connection &c, const QString &verb, const QStringList &request) {
    QStringList fixed;
    if (m_scenario.override(verb, fixed))
        return fixed;
    if (verb == QLatin1String("GETPUBLICKEY")) {
        char *n = BN_bn2hex(m_n);
        char *e = BN_bn2hex(m_e);
        QStringList values{QString::fromLatin1(n), QString::fromLatin1(e)};
        OPENSSL_free(n);
        OPENSSL_free(e);
        if (m_bareHex) {
            for (QString &value : values) {
                while (value.size() > 1 && value.startsWith(QLatin1Char('0')))
                    value.remove(0, 1);
            }
        }
        return values;
    }
    if (verb == QLatin1String("SETSESSIONKEY")) {
        if (!acceptSessionKey(c, request.value(0)))
            logLine(QStringLiteral("session key not understood"));
        return {};
    }
    if (verb == QLatin1String("INITNEWJOB")) {
        c.nextDescriptor = 0;
        return m_scenario.initNewJob(request, c.queue);
    }
    if (verb == QLatin1String("GETNEXTDESCRIPTOR"))
        return m_scenario.descriptor(c.queue, c.nextDescriptor++);
    if (verb == QLatin1String("GETSQLLIST")) {
        Connection::SqlResult result;
        QStringList values = m_scenario.sqlList(request, result.rows, result.chunkRows);
        const int transaction = m_nextSqlTransaction++;
        c.sqlResults[transaction] = std::move(result);
        values << QString::number(transaction);
        return values;
    }
    if (verb == QLatin1String("GETSQLDATA")) {
        // Two rows per chunk unless the scenario says otherwise, so that the client has to ask
        // more than once.
        Connection::SqlResult &result = c.sqlResults[request.value(0).toInt()];
        const QStringList chunk = result.rows.mid(result.next, result.chunkRows);
        result.next += chunk.size();
        return {chunk.isEmpty() ? QString() : chunk.join(QStringLiteral("\r\n")) + "\r\n"};
    }
    if (verb == QLatin1String("VERIFYLASTANSWERS"))
        return m_scenario.verifyLastAnswers(request);
    if (verb == QLatin1String("LISTRECENTUSERCODES"))
        return m_scenario.listRecentUserCodes(request);
    if (verb == QLatin1String("FINDUSERCODES"))
        return m_scenario.findUserCodes(request);
    if (verb == QLatin1String("LISTLASTANSWERS"))
        return m_scenario.listLastAnswers(request);
    return {QStringLiteral("unknown verb")};
}

// Header, body and padding in one buffer; the body is then ciphered in place.
QByteArray PopupServer::frame(Connection &c, const QString &verb, const QStringList &values,
                              bool lowerCaseId) {
    qsizetype longest = verb.size() + 1;
    for (const QString &v : values)
        longest += 3 * v.size() + 1;
    QByteArray message;
    message.reserve(HeaderLength + 8 + longest + 16);
    message += lowerCaseId ? "zvpopup" : "ZVPOPUP";
    message += QByteArray::number(m_scenario.version());
    message += Separator;
    const qsizetype lengthAt = message.size();
    message += "000000";
    message += Separator;
    const qsizetype bodyAt = message.size();
    appendUtf8(message, verb);
    for (const QString &v : values)
        appendUtf8(message, v);
    if (c.encrypted) {
        const int pad = 16 - static_cast<int>((message.size() - bodyAt) % 16);
        message.append(pad, static_cast<char>(pad));
        aesCbc(c.encrypt, message.data() + bodyAt, message.size() - bodyAt);
    }
    message.replace(
        lengthAt, 6,
        QByteArray::number(HeaderLength + message.size() - bodyAt).rightJustified(6, '0'));
    return message;
}

void PopupServer::send(Connection &c, const QString &verb, const QStringList &values) {
    const bool faulty = m_fault.kind != Fault::None && c.requests >= m_fault.fromRequest &&
                        (m_fault.verb.isEmpty() || m_fault.verb == verb);
    const Fault fault = faulty ? m_fault.kind : Fault::None;
    QByteArray message = frame(c, verb, values, fault == Fault::LowerCaseId);
    if (faulty)
        logLine(QStringLiteral("injecting fault into the answer to ") + verb);
    switch (fault) {
    case Fault::Silent:
        return;
    case Fault::HeaderBytes:
        writeAll(c.fd, message.constData(), std::min<qsizetype>(m_fault.argument, message.size()));
        return;
    case Fault::CloseMidBody:
        writeAll(c.fd, message.constData(), HeaderLength + (message.size() - HeaderLength) / 2);
        ::close(c.fd);
        c.fd = -1;
        return;
    case Fault::WrongLength:
        // Promise more bytes than follow and keep the connection open.
        message.replace(12, 6, QByteArray::number(message.size() + 10).rightJustified(6, '0'));
        break;
    case Fault::BadId:
        message.replace(0, 7, "ZVQUERY");
        break;
    case Fault::Garbage: {
        message = QByteArray(message.size(), '\0');
        RAND_bytes(reinterpret_cast<unsigned char *>(message.data()),
                   static_cast<int>(message.size()));
        message.replace(0, 7, "GARBAGE");
        break;
    }
    case Fault::Drip:
        for (char byte : message) {
            if (!writeAll(c.fd, &byte, 1))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(m_fault.argument));
        }
        return;
    case Fault::Late:
        std::this_thread::sleep_for(std::chrono::milliseconds(m_fault.argument));
        break;
    default:
        break;
    }
    writeAll(c.fd, message.constData(), message.size());
}

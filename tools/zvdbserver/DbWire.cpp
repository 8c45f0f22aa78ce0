// SPDX-License-Identifier: MIT
#include "DbWire.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>
#include <optional>

namespace dbwire {
namespace {

// Mixed into every session key by every peer.
constexpr std::uint8_t KeyMask[16] = {0xA7, 0x1E, 0x5C, 0x93, 0x02, 0xF8, 0x6B, 0xD4,
                                      0x39, 0xC0, 0x85, 0x2E, 0x71, 0x4A, 0xE6, 0xBD};
// The key of the RC4 stream for flagged values.
constexpr std::uint8_t Rc4Key[16] = {0x3C, 0x71, 0xA9, 0xE0, 0x4B, 0x8D, 0x2F, 0x56,
                                     0xE1, 0x90, 0x7A, 0xC4, 0xD2, 0x5B, 0x8E, 0x13};
constexpr int FixedSize[14] = {0, 1, 1, 2, 2, 4, 4, 4, 8, 8, 4, 4, 4, 4};

class Rc4 {
public:
    Rc4() {
        for (int k = 0; k < 256; ++k)
            s[k] = static_cast<std::uint8_t>(k);
        std::uint8_t j = 0;
        for (int k = 0; k < 256; ++k) {
            j = static_cast<std::uint8_t>(j + s[k] + Rc4Key[k % 16]);
            std::swap(s[k], s[j]);
        }
    }
    void crypt(char *data, qsizetype n) {
        for (qsizetype k = 0; k < n; ++k) {
            i = static_cast<std::uint8_t>(i + 1);
            j = static_cast<std::uint8_t>(j + s[i]);
            std::swap(s[i], s[j]);
            data[k] = static_cast<char>(data[k] ^ s[static_cast<std::uint8_t>(s[i] + s[j])]);
        }
    }

private:
    std::uint8_t s[256];
    std::uint8_t i = 0, j = 0;
};

QByteArray le32(std::uint32_t v) {
    QByteArray b(4, '\0');
    for (int k = 0; k < 4; ++k)
        b[k] = static_cast<char>(v >> (8 * k));
    return b;
}

std::uint32_t word(const char *p) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<std::uint8_t>(p[k]);
    return v;
}

// Fetched once: handing OpenSSL its built-in cipher object makes it look the implementation
// up again for every new context.
const EVP_CIPHER *aes128Cbc() {
    static const EVP_CIPHER *const cipher = [] {
        const EVP_CIPHER *fetched = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
        return fetched ? fetched : EVP_aes_128_cbc();
    }();
    return cipher;
}

// One context per direction and thread, keyed afresh for each packet: keying a context is
// much cheaper than making one.
class CbcContexts {
public:
    CbcContexts() = default;
    CbcContexts(const CbcContexts &) = delete;
    CbcContexts &operator=(const CbcContexts &) = delete;
    ~CbcContexts() {
        for (EVP_CIPHER_CTX *ctx : m_ctx)
            EVP_CIPHER_CTX_free(ctx);
    }
    EVP_CIPHER_CTX *keyed(bool encrypt, const std::uint8_t *key) {
        static const unsigned char iv[16] = {};
        EVP_CIPHER_CTX *&ctx = m_ctx[encrypt ? 1 : 0];
        if (!ctx) {
            ctx = EVP_CIPHER_CTX_new();
            if (!ctx || EVP_CipherInit_ex(ctx, aes128Cbc(), nullptr, nullptr, nullptr,
                                          encrypt ? 1 : 0) != 1) {
                EVP_CIPHER_CTX_free(ctx);
                ctx = nullptr;
                return nullptr;
            }
        }
        if (EVP_CipherInit_ex(ctx, nullptr, nullptr, key, iv, encrypt ? 1 : 0) != 1 ||
            EVP_CIPHER_CTX_set_padding(ctx, 0) != 1)
            return nullptr;
        return ctx;
    }

private:
    EVP_CIPHER_CTX *m_ctx[2] = {nullptr, nullptr};
};

// The AES-128-CBC context of one packet, from a zero IV, keyed with the session key mixed with
// the header's two words and the key mask; nullptr when the cipher library fails.
EVP_CIPHER_CTX *packetCipher(const Key &sessionKey, std::uint32_t a, std::uint32_t b,
                             bool encrypt) {
    std::uint8_t key[16];
    std::memcpy(key, sessionKey.data(), 16);
    for (int k = 0; k < 4; ++k) {
        key[k] ^= static_cast<std::uint8_t>(a >> (8 * k));
        key[4 + k] ^= static_cast<std::uint8_t>(b >> (8 * k));
    }
    for (int k = 0; k < 16; ++k)
        key[k] ^= KeyMask[k];
    thread_local CbcContexts contexts;
    EVP_CIPHER_CTX *ctx = contexts.keyed(encrypt, key);
    OPENSSL_cleanse(key, sizeof key);
    return ctx;
}

// Whole blocks from in to out (which may be the same), continuing the chain of ctx.
bool cbcUpdate(EVP_CIPHER_CTX *ctx, const char *in, char *out, qsizetype size) {
    int produced = 0;
    return ctx &&
           EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char *>(out), &produced,
                            reinterpret_cast<const unsigned char *>(in),
                            static_cast<int>(size)) == 1 &&
           produced == size;
}

} // namespace

QString Value::text() const {
    if (null)
        return QString();
    if (code == String) {
        const qsizetype zero = payload.indexOf('\0');
        return QString::fromUtf8(payload.left(zero < 0 ? payload.size() : zero));
    }
    if (code == Binary)
        return QString::fromLatin1(payload.toHex());
    return QString::number(number());
}

std::int64_t Value::number() const {
    if (null || code == String || code == Binary)
        return 0;
    std::uint64_t v = 0;
    for (qsizetype k = payload.size() - 1; k >= 0; --k)
        v = (v << 8) | static_cast<std::uint8_t>(payload[k]);
    switch (code) {
    case 1:
        return static_cast<std::int8_t>(v);
    case 3:
        return static_cast<std::int16_t>(v);
    case 5:
        return static_cast<std::int32_t>(v);
    default:
        return static_cast<std::int64_t>(v);
    }
}

void Body::add(std::uint8_t code, const QByteArray &payload, bool block, bool rc4) {
    m_bytes.append(static_cast<char>(code | (rc4 ? 0x40 : 0)));
    if (block) {
        // Written in place: a table answer has thousands of cells, each would allocate.
        const auto length = static_cast<std::uint32_t>(payload.size());
        const char bytes[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                               static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
        m_bytes.append(bytes, 4);
    }
    if (rc4)
        m_rc4Ranges.emplace_back(m_bytes.size(), payload.size());
    m_bytes.append(payload);
}

void Body::addString(const QString &text, bool rc4) {
    QByteArray payload = text.toUtf8();
    payload.append('\0');
    add(String, payload, true, rc4);
}
void Body::addNullString() {
    m_bytes.append('\x8A');
}
void Body::addInt8(char c) {
    add(Int8, QByteArray(1, c), false, false);
}
void Body::addInt32(std::int32_t v, bool rc4) {
    add(Int32, le32(static_cast<std::uint32_t>(v)), false, rc4);
}
void Body::addUInt32(std::uint32_t v, bool rc4) {
    add(UInt32, le32(v), false, rc4);
}
void Body::addTableStart(std::uint32_t columns) {
    add(TableStart, le32(columns), false, false);
}
void Body::addBinary(const QByteArray &bytes, bool rc4) {
    add(Binary, bytes, true, rc4);
}

void frame(std::uint32_t packetId, const Body &body, const Key *key, QByteArray &out) {
    const qsizetype values = body.m_bytes.size();
    const int pad = key ? 16 - static_cast<int>(values % 16) : 0;
    const auto total = static_cast<std::uint32_t>(13 + values + pad);
    // Resizing keeps the capacity, so a buffer used again for each answer allocates once.
    out.resize(total);
    char *p = out.data();
    std::memcpy(p, "ZVCOM", 5);
    for (int k = 0; k < 4; ++k) {
        p[5 + k] = static_cast<char>(total >> (8 * k));
        p[9 + k] = static_cast<char>(packetId >> (8 * k));
    }
    const char *in = body.m_bytes.constData();
    if (key && body.m_rc4Ranges.empty()) {
        // Enciphered straight from the body: the whole blocks, then the last one with the
        // padding, so that a large answer is not copied first.
        const qsizetype whole = values - values % 16;
        EVP_CIPHER_CTX *ctx = packetCipher(*key, total, packetId, true);
        std::memcpy(p + 13 + whole, in + whole, static_cast<size_t>(values - whole));
        std::memset(p + 13 + values, pad, static_cast<size_t>(pad));
        cbcUpdate(ctx, in, p + 13, whole);
        cbcUpdate(ctx, p + 13 + whole, p + 13 + whole, 16);
        return;
    }
    std::memcpy(p + 13, in, static_cast<size_t>(values));
    std::memset(p + 13 + values, pad, static_cast<size_t>(pad));
    if (!body.m_rc4Ranges.empty()) {
        Rc4 rc4;
        for (const auto &[at, size] : body.m_rc4Ranges)
            rc4.crypt(p + 13 + at, size);
    }
    if (key)
        cbcUpdate(packetCipher(*key, total, packetId, true), p + 13, p + 13, values + pad);
}

QByteArray frame(std::uint32_t packetId, const Body &body, const Key *key) {
    QByteArray out;
    frame(packetId, body, key, out);
    return out;
}

std::uint32_t lengthOf(const QByteArray &header) {
    return word(header.constData() + 5);
}
std::uint32_t idOf(const QByteArray &header) {
    return word(header.constData() + 9);
}

qsizetype decrypt(QByteArray &packet, const Key &key) {
    const qsizetype body = packet.size() - 13;
    if (body <= 0 || body % 16 != 0)
        return -1;
    char *data = packet.data() + 13;
    if (!cbcUpdate(packetCipher(key, lengthOf(packet), idOf(packet), false), data, data, body))
        return -1;
    const int pad = static_cast<std::uint8_t>(packet.back());
    if (pad < 1 || pad > 16)
        return -1;
    return packet.size() - pad;
}

bool parse(const QByteArray &packet, qsizetype end, std::vector<Value> &values) {
    std::optional<Rc4> rc4; // keyed at the first flagged value
    qsizetype at = 13;
    while (at < end) {
        const auto type = static_cast<std::uint8_t>(packet[at]);
        Value v;
        v.code = type & 0x3F;
        if (v.code > 13)
            break;
        v.rc4 = (type & 0x40) != 0;
        v.null = (type & 0x80) != 0 || v.code == 0;
        ++at;
        if (!v.null) {
            qsizetype size = FixedSize[v.code];
            if (end - at < size)
                return false;
            if (v.code == String || v.code == Binary) {
                const std::uint32_t length = word(packet.constData() + at);
                at += 4;
                if (static_cast<std::uint64_t>(end - at) < length)
                    return false;
                size = length;
            }
            v.payload = packet.mid(at, size);
            if (v.rc4)
                (rc4 ? *rc4 : rc4.emplace()).crypt(v.payload.data(), v.payload.size());
            at += size;
        }
        values.push_back(std::move(v));
    }
    return true;
}

} // namespace dbwire

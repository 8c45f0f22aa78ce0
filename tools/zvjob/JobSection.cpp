// SPDX-License-Identifier: MIT
#include "JobSection.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>
#include <memory>

namespace zvjob {
namespace {

// 3C71A9E04B8D2F56E1907AC4D25B8E13, byte 0 first.
const unsigned char recordKey[16] = {0x3C, 0x71, 0xA9, 0xE0, 0x4B, 0x8D, 0x2F, 0x56,
                                     0xE1, 0x90, 0x7A, 0xC4, 0xD2, 0x5B, 0x8E, 0x13};
const char recordMarker[8] = {'\xC0', '\xC1', '\xC2', '\xC3', '\xC4', '\xC5', '\xC6', '\xC7'};
constexpr int recordHeaderEnd = 36;

void appendInt32(QByteArray &out, qint32 value) {
    const quint32 u = quint32(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((u >> shift) & 0xFF));
}

qint32 int32At(const QByteArray &bytes, int offset) {
    quint32 u = 0;
    for (int k = 3; k >= 0; --k)
        u = (u << 8) | quint8(bytes[offset + k]);
    return qint32(u);
}

void appendText(QByteArray &out, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    if (utf8.isEmpty()) {
        appendInt32(out, 0);
        return;
    }
    appendInt32(out, 1);
    out.append(utf8);
    out.append('\0');
}

// A field of decimal digits followed by a zero byte.
int digitsAt(const QByteArray &bytes, int offset, int width, const char *what) {
    int value = 0;
    for (int k = 0; k < width; ++k) {
        const char c = bytes[offset + k];
        if (c < '0' || c > '9')
            throw RecordError(std::string("answer record: ") + what + " is not a decimal field");
        value = value * 10 + (c - '0');
    }
    if (bytes[offset + width] != '\0')
        throw RecordError(std::string("answer record: ") + what + " is not zero-terminated");
    return value;
}

struct LibCtxFree {
    void operator()(OSSL_LIB_CTX *ctx) const { OSSL_LIB_CTX_free(ctx); }
};
struct ProviderUnload {
    void operator()(OSSL_PROVIDER *p) const { OSSL_PROVIDER_unload(p); }
};
struct CipherFree {
    void operator()(EVP_CIPHER *c) const { EVP_CIPHER_free(c); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX *c) const { EVP_CIPHER_CTX_free(c); }
};

} // namespace

QByteArray encodeJobFields(const JobFields &job, qsizetype sectionSize) {
    QByteArray out;
    appendText(out, job.workStation);
    appendText(out, job.printServer);
    appendText(out, job.queue);
    appendText(out, job.userName);
    appendText(out, job.document);
    appendText(out, job.printer);
    appendInt32(out, job.pages);
    if (out.size() > sectionSize)
        throw RecordError("the job fields do not fit the section");
    return out;
}

void rc4AnswerKey(QByteArray &bytes) {
    // RC4 lives in OpenSSL 3's legacy provider; a private library context keeps it out of the
    // process-wide defaults.
    std::unique_ptr<OSSL_LIB_CTX, LibCtxFree> ctx(OSSL_LIB_CTX_new());
    std::unique_ptr<OSSL_PROVIDER, ProviderUnload> legacy(
        ctx ? OSSL_PROVIDER_load(ctx.get(), "legacy") : nullptr);
    std::unique_ptr<EVP_CIPHER, CipherFree> rc4(legacy ? EVP_CIPHER_fetch(ctx.get(), "RC4", nullptr)
                                                       : nullptr);
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> cipher(EVP_CIPHER_CTX_new());
    if (!rc4 || !cipher)
        throw RecordError("RC4 is not available from OpenSSL's legacy provider");
    int outLen = 0;
    auto *data = reinterpret_cast<unsigned char *>(bytes.data());
    if (EVP_EncryptInit_ex2(cipher.get(), rc4.get(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_key_length(cipher.get(), sizeof recordKey) != 1 ||
        EVP_EncryptInit_ex2(cipher.get(), nullptr, recordKey, nullptr, nullptr) != 1 ||
        EVP_EncryptUpdate(cipher.get(), data, &outLen, data, int(bytes.size())) != 1 ||
        outLen != bytes.size())
        throw RecordError("RC4 failed");
}

std::optional<AnswerRecord> decodeAnswerRecord(const QByteArray &section) {
    if (section.size() < recordHeaderEnd || std::memcmp(section.constData() + 4, recordMarker, 8))
        return std::nullopt;
    const int d = digitsAt(section, 12, 7, "data length");
    if (std::memcmp(section.constData() + 20, "154", 4) != 0)
        throw RecordError("answer record: the version field is not \"154\"");
    const int ab = digitsAt(section, 24, 5, "line length");
    const int c = digitsAt(section, 30, 5, "trailer length");
    if (int32At(section, 0) != 32 + d)
        throw RecordError("answer record: the length integer is not 32 + data length");
    if (ab + c != d || c < 1)
        throw RecordError("answer record: the section lengths do not add up");
    if (recordHeaderEnd + qsizetype(d) > section.size())
        throw RecordError("answer record: the data block runs past the section");

    QByteArray block = section.mid(recordHeaderEnd, d);
    rc4AnswerKey(block);
    AnswerRecord record;
    qsizetype pos = 0;
    while (pos < ab) {
        const qsizetype end = block.indexOf('\0', pos);
        if (end < 0 || end >= ab) {
            OPENSSL_cleanse(block.data(), size_t(block.size()));
            throw RecordError("answer record: a line is not zero-terminated");
        }
        record.lines.append(block.mid(pos, end - pos));
        pos = end + 1;
    }
    if (block[d - 1] != '\0') {
        OPENSSL_cleanse(block.data(), size_t(block.size()));
        throw RecordError("answer record: the trailer is not zero-terminated");
    }
    record.trailer = block.mid(ab, c - 1);
    OPENSSL_cleanse(block.data(), size_t(block.size()));
    return record;
}

} // namespace zvjob

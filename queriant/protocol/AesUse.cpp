// SPDX-License-Identifier: MIT
#include "AesUse.h"

#include "Rijndael.h"
#include "SecureWipe.h"

#include <memory>
#include <vector>

const unsigned char TAesUse::Key[16] = {0x3C, 0x71, 0xA9, 0xE0, 0x4B, 0x8D, 0x2F, 0x56,
                                        0xE1, 0x90, 0x7A, 0xC4, 0xD2, 0x5B, 0x8E, 0x13};

namespace {

std::unique_ptr<TRijndael> &engine() {
    static std::unique_ptr<TRijndael> instance;
    return instance;
}

TRijndael &initializedEngine() {
    auto &aes = engine();
    if (!aes)
        throw ERijndaelError(QStringLiteral("Rijndael: Not initialized"));
    return *aes;
}

// Smallest multiple of 16 that leaves room for at least one zero byte after the plain bytes.
qsizetype paddedLength(qsizetype plainBytes) {
    return (plainBytes / 16 + 1) * 16;
}

// Ciphers a zero-padded copy of the plain bytes, wiping the copy whatever happens.
QByteArray encryptPadded(const char *plain, qsizetype plainBytes) {
    TRijndael &aes = initializedEngine();
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(paddedLength(plainBytes)), 0);
    std::copy(plain, plain + plainBytes, buffer.begin());
    QByteArray cipher(static_cast<qsizetype>(buffer.size()), Qt::Uninitialized);
    try {
        aes.Encrypt(buffer.data(), reinterpret_cast<std::uint8_t *>(cipher.data()), buffer.size());
    } catch (...) {
        zv::SecureWipe(buffer.data(), buffer.size());
        aes.Reset();
        throw;
    }
    zv::SecureWipe(buffer.data(), buffer.size());
    aes.Reset();
    return cipher;
}

// Plain bytes of the whole ciphertext followed by one zero byte; the caller wipes it.
std::vector<std::uint8_t> decryptWhole(const QByteArray &cipher) {
    TRijndael &aes = initializedEngine();
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(cipher.size()) + 1, 0);
    aes.Decrypt(reinterpret_cast<const std::uint8_t *>(cipher.constData()), plain.data(),
                static_cast<std::size_t>(cipher.size()));
    aes.Reset();
    return plain;
}

} // namespace

void TAesUse::Init() {
    auto &aes = engine();
    if (!aes)
        aes = std::make_unique<TRijndael>();
    aes->Init(Key, 128);
}

QByteArray TAesUse::EncryptText(const QByteArray &text) {
    return encryptPadded(text.constData(), text.size());
}

QByteArray TAesUse::EncryptWide(const QString &text) {
    // QString holds UTF-16 in host order; the ciphertext carries it low byte first.
    std::vector<char> units(static_cast<std::size_t>(text.size()) * 2);
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t unit = text.at(k).unicode();
        units[2 * k] = static_cast<char>(unit & 0xFF);
        units[2 * k + 1] = static_cast<char>(unit >> 8);
    }
    try {
        QByteArray cipher = encryptPadded(units.data(), static_cast<qsizetype>(units.size()));
        zv::SecureWipe(units.data(), units.size());
        return cipher;
    } catch (...) {
        zv::SecureWipe(units.data(), units.size());
        throw;
    }
}

QByteArray TAesUse::DecryptText(const QByteArray &cipher) {
    if (cipher.size() < 1)
        return {};
    std::vector<std::uint8_t> plain = decryptWhole(cipher);
    std::size_t end = 0;
    while (end < plain.size() && plain[end] != 0)
        ++end;
    QByteArray text(reinterpret_cast<const char *>(plain.data()), static_cast<qsizetype>(end));
    zv::SecureWipe(plain.data(), plain.size());
    return text;
}

QString TAesUse::DecryptWide(const QByteArray &cipher, int charCount) {
    if (cipher.size() < 1)
        return {};
    std::vector<std::uint8_t> plain = decryptWhole(cipher);
    const qsizetype available = cipher.size() / 2;
    qsizetype count = 0;
    if (charCount >= 0) {
        count = std::min<qsizetype>(charCount, available);
    } else {
        while (count < available && (plain[2 * count] | plain[2 * count + 1]) != 0)
            ++count;
    }
    QString text(count, Qt::Uninitialized);
    for (qsizetype k = 0; k < count; ++k)
        text[k] = QChar(static_cast<char16_t>(plain[2 * k] | (plain[2 * k + 1] << 8)));
    zv::SecureWipe(plain.data(), plain.size());
    return text;
}

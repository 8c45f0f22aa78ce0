// SPDX-License-Identifier: MIT
// The answer cipher held in memory and in the prior-jobs list: a ciphertext of any length
// decrypts as OpenSSL's AES-128-CBC (zero vector; a trailing partial block XORed with the
// encryption of the chaining value) and never reads past it; encrypting and decrypting gives
// the text back.
//
// Input: one byte choosing the character count of the wide reading (255: up to the first zero
// unit), then the ciphertext, which is also taken as the plain text of the round trip.
#include "FuzzSupport.h"
#include "OpenSslReference.h"

#include "AesUse.h"

#include <vector>

namespace {

std::vector<unsigned char> ReferenceDecrypt(const QByteArray &cipher) {
    std::vector<unsigned char> plain(std::size_t(cipher.size()));
    const auto *in = reinterpret_cast<const unsigned char *>(cipher.constData());
    unsigned char chain[16] = {};
    const std::size_t whole = std::size_t(cipher.size()) / 16 * 16;
    for (std::size_t k = 0; k < whole; k += 16) {
        fuzz::AesBlock(false, TAesUse::Key, in + k, plain.data() + k);
        for (int i = 0; i < 16; ++i)
            plain[k + i] ^= chain[i];
        std::copy(in + k, in + k + 16, chain);
    }
    if (whole < plain.size()) {
        unsigned char stream[16];
        fuzz::AesBlock(true, TAesUse::Key, chain, stream);
        for (std::size_t k = whole; k < plain.size(); ++k)
            plain[k] = in[k] ^ stream[k - whole];
    }
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const bool initialised = (TAesUse::Init(), true);
    (void)initialised;
    fuzz::TInput input(data, size);
    const std::uint8_t count = input.Byte();
    const QByteArray cipher = input.Rest();

    const std::vector<unsigned char> plain = ReferenceDecrypt(cipher);
    std::size_t end = 0;
    while (end < plain.size() && plain[end] != 0)
        ++end;
    const QByteArray text = TAesUse::DecryptText(cipher);
    fuzz::Check(text == QByteArray(reinterpret_cast<const char *>(plain.data()), qsizetype(end)),
                "DecryptText differs from OpenSSL", cipher.left(48));

    const QString wide = TAesUse::DecryptWide(cipher, count == 255 ? -1 : count);
    const qsizetype units = qsizetype(plain.size() / 2);
    QString expected;
    for (qsizetype k = 0; k < units; ++k) {
        const char16_t unit = char16_t(plain[2 * k] | plain[2 * k + 1] << 8);
        if (count == 255 ? unit == 0 : k == count)
            break;
        expected.append(QChar(unit));
    }
    fuzz::Check(wide == expected, "DecryptWide differs from OpenSSL", cipher.left(48));

    const QByteArray again = TAesUse::DecryptText(TAesUse::EncryptText(cipher));
    fuzz::Check(again ==
                    cipher.left(cipher.indexOf('\0') < 0 ? cipher.size() : cipher.indexOf('\0')),
                "text does not survive encryption");
    const QString unitsText = QString::fromUtf8(cipher);
    fuzz::Check(TAesUse::DecryptWide(TAesUse::EncryptWide(unitsText), int(unitsText.size())) ==
                    unitsText,
                "wide text does not survive encryption");
    return 0;
}

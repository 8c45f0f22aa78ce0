// SPDX-License-Identifier: MIT
// Big numbers from hexadecimal text (the server's public key): the value read agrees with
// OpenSSL's reading of the same digits, and writing it out and reading it back gives it again.
#include "FuzzSupport.h"
#include "OpenSslReference.h"

#include "ZvWideWord.h"

#include <cctype>

namespace {

// The leading hexadecimal digits, as the reader takes them.
QByteArray LeadingDigits(const QByteArray &text) {
    qsizetype n = 0;
    while (n < text.size() && std::isxdigit(static_cast<unsigned char>(text[n])))
        ++n;
    return text.left(n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray text = fuzz::Bytes(data, size);
    TZvWideWord number;
    try {
        number.AssignHex(QString::fromLatin1(text));
    } catch (const EZvWideWordError &) {
        fuzz::Check(text.size() > 2 * TZvWideWord::MaxBytes, "short hex text refused");
        return 0;
    }
    fuzz::Check(number.Length <= TZvWideWord::MaxBytes, "hex value longer than its buffer");
    fuzz::Check(number.Length == 0 || number.Digits[number.Length - 1] != 0,
                "hex value keeps a leading zero byte");

    // An odd count of digits reads as if a leading 0 were there, as OpenSSL reads it.
    const QByteArray digits = LeadingDigits(text);
    QByteArray reference;
    if (!digits.isEmpty()) {
        BIGNUM *raw = nullptr;
        BN_hex2bn(&raw, digits.constData());
        const fuzz::Bn value(raw);
        reference = fuzz::BnToBytes(value.get());
    }
    fuzz::Check(number.ToBytes() == reference, "hex value differs from OpenSSL's", text.left(64));

    TZvWideWord again;
    again.AssignHex(number.ToHex());
    fuzz::Check(again.Compare(number) == 0, "hex text does not read back", text.left(64));
    return 0;
}

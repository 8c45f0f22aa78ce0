// SPDX-License-Identifier: MIT
// Unsigned integer of up to 256 bytes in one fixed buffer, with the modular exponentiation of
// the session key exchange (raw RSA).
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

class EZvWideWordError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TZvWideWord {
public:
    static constexpr int MaxBytes = 256;
    static constexpr int BufferSize = MaxBytes + 1;

    TZvWideWord() = default;

    void Assign(const TZvWideWord &other);
    // Throws "TZvWideWord.Assign: cannot convert negative number".
    void Assign(long long n);
    // Bytes most significant first. A first byte of 0 or 1 gains a 0x01 byte above it; other
    // leading zero bytes stay counted in Length. More than 256 bytes overflow.
    void AssignBytes(const std::uint8_t *bytes, int count);
    void AssignBytesTrimmed(const std::uint8_t *bytes, int count);
    // Hex pairs from the front until a character is not a hex digit; over 513 characters overflow.
    void AssignHex(const QString &text);

    QString ToHex() const;
    // Length bytes, most significant first.
    QByteArray ToBytes() const;

    int Compare(const TZvWideWord &other) const;
    // Throws "TZvWideWord.Multiply: overflow" and leaves the overflow value.
    void Multiply(const TZvWideWord &other);
    // Quotient into this object, remainder into the other. Throws on a zero divisor.
    void Divide(const TZvWideWord &divisor, TZvWideWord &remainder);
    // this = this ^ exponent mod modulus (the base is not reduced first).
    void ModPow(const TZvWideWord &exponent, const TZvWideWord &modulus);
    // Square and multiply with a remainder after every step, the base not reduced first.
    // ModPow takes a Montgomery shortcut with the same result where this cannot overflow.
    void ModPowBySquaring(const TZvWideWord &exponent, const TZvWideWord &modulus);

    int BitCount() const;
    bool TestBit(int index) const;
    bool IsZero() const { return Length == 0; }

    std::array<std::uint8_t, BufferSize> Digits{};
    int Length = 0;

private:
    void Clear();
    void Trim();
    void SetOverflow();
    void DivideBySmall(std::uint8_t divisor, TZvWideWord &remainder);
};

// Raw RSA over byte arrays (most significant first): data is read with AssignBytes, the
// exponent and modulus with AssignBytesTrimmed; returns the result's Length bytes.
QByteArray RsaEncryptBytes(const QByteArray &modulus, const QByteArray &exponent,
                           const QByteArray &data);

// SPDX-License-Identifier: MIT
#include "ZvWideWord.h"

#include "SecureWipe.h"

#include <algorithm>
#include <cstring>

namespace {

[[noreturn]] void overflowOnAssign() {
    throw EZvWideWordError(QStringLiteral("TZvWideWord.Assign: overflow"));
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

void TZvWideWord::Clear() {
    Digits.fill(0);
    Length = 0;
}

void TZvWideWord::Trim() {
    while (Length > 0 && Digits[Length - 1] == 0)
        --Length;
}

void TZvWideWord::SetOverflow() {
    Digits.fill(0xFF);
    Digits[BufferSize - 1] = 0;
    Length = BufferSize;
}

void TZvWideWord::Assign(const TZvWideWord &other) {
    if (this != &other) {
        Digits = other.Digits;
        Length = other.Length;
    }
}

void TZvWideWord::Assign(long long n) {
    if (n < 0)
        throw EZvWideWordError(
            QStringLiteral("TZvWideWord.Assign: cannot convert negative number"));
    Clear();
    auto value = static_cast<unsigned long long>(n);
    while (value != 0) {
        Digits[Length++] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

void TZvWideWord::AssignBytes(const std::uint8_t *bytes, int count) {
    if (count > MaxBytes)
        overflowOnAssign();
    Clear();
    if (count <= 0)
        return;
    for (int k = 0; k < count; ++k)
        Digits[k] = bytes[count - 1 - k];
    Length = count;
    if (bytes[0] <= 1)
        Digits[Length++] = 0x01;
}

void TZvWideWord::AssignBytesTrimmed(const std::uint8_t *bytes, int count) {
    if (count > MaxBytes)
        overflowOnAssign();
    Clear();
    for (int k = 0; k < count; ++k)
        Digits[k] = bytes[count - 1 - k];
    Length = std::max(count, 0);
    Trim();
}

void TZvWideWord::AssignHex(const QString &text) {
    if (text.size() > 2 * MaxBytes + 1)
        overflowOnAssign();
    // Digits are read up to the first character that is not one; an odd count reads as if a
    // leading 0 were there (65537 sent as 10001).
    qsizetype digits = 0;
    while (digits < text.size() && hexValue(text[digits]) >= 0)
        ++digits;
    std::array<std::uint8_t, MaxBytes + 1> bytes{};
    int count = 0;
    qsizetype k = 0;
    if (digits % 2 == 1)
        bytes[count++] = static_cast<std::uint8_t>(hexValue(text[k++]));
    for (; k + 1 < digits; k += 2)
        bytes[count++] = static_cast<std::uint8_t>(hexValue(text[k]) * 16 + hexValue(text[k + 1]));
    // 513 digits make 257 bytes; they fit when the first is 0.
    const int skip = count > MaxBytes && bytes[0] == 0 ? 1 : 0;
    AssignBytesTrimmed(bytes.data() + skip, count - skip);
}

QString TZvWideWord::ToHex() const {
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(2 * Length);
    for (int k = Length - 1; k >= 0; --k) {
        text += QLatin1Char(digits[Digits[k] >> 4]);
        text += QLatin1Char(digits[Digits[k] & 0x0F]);
    }
    return text;
}

QByteArray TZvWideWord::ToBytes() const {
    QByteArray bytes(Length, Qt::Uninitialized);
    for (int k = 0; k < Length; ++k)
        bytes[k] = static_cast<char>(Digits[Length - 1 - k]);
    return bytes;
}

int TZvWideWord::Compare(const TZvWideWord &other) const {
    if (Length != other.Length)
        return Length < other.Length ? -1 : 1;
    for (int k = Length - 1; k >= 0; --k) {
        if (Digits[k] != other.Digits[k])
            return Digits[k] < other.Digits[k] ? -1 : 1;
    }
    return 0;
}

void TZvWideWord::Multiply(const TZvWideWord &other) {
    if (Length + other.Length > MaxBytes) {
        SetOverflow();
        throw EZvWideWordError(QStringLiteral("TZvWideWord.Multiply: overflow"));
    }
    std::array<std::uint8_t, BufferSize> product{};
    for (int i = 0; i < Length; ++i) {
        std::uint32_t carry = 0;
        const std::uint32_t a = Digits[i];
        if (a == 0)
            continue;
        for (int j = 0; j < other.Length; ++j) {
            const std::uint32_t t = product[i + j] + a * other.Digits[j] + carry;
            product[i + j] = static_cast<std::uint8_t>(t);
            carry = t >> 8;
        }
        product[i + other.Length] = static_cast<std::uint8_t>(carry);
    }
    const int length = Length + other.Length;
    Digits = product;
    Length = length;
    Trim();
}

void TZvWideWord::DivideBySmall(std::uint8_t divisor, TZvWideWord &remainder) {
    std::uint32_t rest = 0;
    for (int k = Length - 1; k >= 0; --k) {
        const std::uint32_t t = (rest << 8) | Digits[k];
        Digits[k] = static_cast<std::uint8_t>(t / divisor);
        rest = t % divisor;
    }
    Trim();
    remainder.Assign(static_cast<long long>(rest));
}

// Long division in base 256 (Knuth's algorithm D) on normalised copies.
void TZvWideWord::Divide(const TZvWideWord &divisor, TZvWideWord &remainder) {
    if (divisor.IsZero())
        throw EZvWideWordError(QStringLiteral("TZvWideWord.Divide: division by zero"));
    const int order = Compare(divisor);
    if (order < 0) {
        remainder.Assign(*this);
        Clear();
        return;
    }
    if (order == 0) {
        remainder.Clear();
        Assign(1);
        return;
    }
    if (divisor.Length == 1) {
        const TZvWideWord d(divisor);
        DivideBySmall(d.Digits[0], remainder);
        return;
    }

    const int n = divisor.Length;
    const int m = Length - n;
    int shift = 0;
    while ((divisor.Digits[n - 1] << shift & 0x80) == 0)
        ++shift;

    std::array<std::uint8_t, BufferSize + 1> u{};
    std::array<std::uint8_t, BufferSize> v{};
    for (int k = n - 1; k >= 0; --k)
        v[k] =
            static_cast<std::uint8_t>(divisor.Digits[k] << shift |
                                      (k > 0 && shift ? divisor.Digits[k - 1] >> (8 - shift) : 0));
    u[Length] = static_cast<std::uint8_t>(shift ? Digits[Length - 1] >> (8 - shift) : 0);
    for (int k = Length - 1; k >= 0; --k)
        u[k] = static_cast<std::uint8_t>(Digits[k] << shift |
                                         (k > 0 && shift ? Digits[k - 1] >> (8 - shift) : 0));

    std::array<std::uint8_t, BufferSize> q{};
    const std::uint32_t vTop = v[n - 1];
    const std::uint32_t vNext = v[n - 2];
    for (int j = m; j >= 0; --j) {
        const std::uint32_t top = (static_cast<std::uint32_t>(u[j + n]) << 8) | u[j + n - 1];
        std::uint32_t qhat = top / vTop;
        std::uint32_t rhat = top % vTop;
        while (qhat > 255 || qhat * vNext > ((rhat << 8) | u[j + n - 2])) {
            --qhat;
            rhat += vTop;
            if (rhat > 255)
                break;
        }
        // Multiply and subtract qhat * v from u[j .. j+n].
        std::int32_t borrow = 0;
        std::uint32_t carry = 0;
        for (int k = 0; k < n; ++k) {
            const std::uint32_t p = qhat * v[k] + carry;
            carry = p >> 8;
            const std::int32_t t =
                static_cast<std::int32_t>(u[k + j]) - borrow - static_cast<std::int32_t>(p & 0xFF);
            u[k + j] = static_cast<std::uint8_t>(t);
            borrow = t < 0 ? 1 : 0;
        }
        std::int32_t t =
            static_cast<std::int32_t>(u[j + n]) - borrow - static_cast<std::int32_t>(carry);
        u[j + n] = static_cast<std::uint8_t>(t);
        if (t < 0) {
            // qhat was one too large: add the divisor back.
            --qhat;
            std::uint32_t c = 0;
            for (int k = 0; k < n; ++k) {
                const std::uint32_t s = static_cast<std::uint32_t>(u[k + j]) + v[k] + c;
                u[k + j] = static_cast<std::uint8_t>(s);
                c = s >> 8;
            }
            u[j + n] = static_cast<std::uint8_t>(u[j + n] + c);
        }
        q[j] = static_cast<std::uint8_t>(qhat);
    }

    remainder.Clear();
    for (int k = 0; k < n; ++k)
        remainder.Digits[k] =
            static_cast<std::uint8_t>(u[k] >> shift | (shift ? u[k + 1] << (8 - shift) : 0));
    remainder.Length = n;
    remainder.Trim();

    Digits = q;
    Length = m + 1;
    Trim();
    zv::SecureWipe(u.data(), u.size());
}

// Montgomery arithmetic on 64-bit limbs for odd moduli: the same result as square-and-multiply
// with long division, an order of magnitude faster for 1024-bit keys.
namespace montgomery {

__extension__ typedef unsigned __int128 Wide;
using Limb = std::uint64_t;
constexpr int MaxLimbs = 16; // 128 bytes

struct Number {
    std::array<Limb, MaxLimbs + 2> limb{};
};

void load(const TZvWideWord &w, Number &out) {
    out.limb.fill(0);
    for (int k = 0; k < w.Length; ++k)
        out.limb[k / 8] |= static_cast<Limb>(w.Digits[k]) << (8 * (k % 8));
}

bool lessThan(const Number &a, const Number &m, int n) {
    for (int k = n; k >= 0; --k) {
        if (a.limb[k] != m.limb[k])
            return a.limb[k] < m.limb[k];
    }
    return false;
}

void subtract(Number &a, const Number &m, int n) {
    Limb borrow = 0;
    for (int k = 0; k <= n; ++k) {
        const Wide d = static_cast<Wide>(a.limb[k]) - m.limb[k] - borrow;
        a.limb[k] = static_cast<Limb>(d);
        borrow = static_cast<Limb>(d >> 64) & 1;
    }
}

// out = a * b / 2^(64 n) mod m (CIOS). Instantiated for the common key sizes with n fixed, so
// that the compiler unrolls the limb loops; Fixed 0 takes n as given.
template <int Fixed>
void multiplyLimbs(const Number &a, const Number &b, const Number &m, Limb mInv, int given,
                   Number &out) {
    const int n = Fixed ? Fixed : given;
    std::array<Limb, MaxLimbs + 2> t{};
    for (int i = 0; i < n; ++i) {
        Limb carry = 0;
        for (int j = 0; j < n; ++j) {
            const Wide s = static_cast<Wide>(a.limb[j]) * b.limb[i] + t[j] + carry;
            t[j] = static_cast<Limb>(s);
            carry = static_cast<Limb>(s >> 64);
        }
        Wide s = static_cast<Wide>(t[n]) + carry;
        t[n] = static_cast<Limb>(s);
        t[n + 1] = static_cast<Limb>(s >> 64);
        const Limb q = t[0] * mInv;
        s = static_cast<Wide>(q) * m.limb[0] + t[0];
        carry = static_cast<Limb>(s >> 64);
        for (int j = 1; j < n; ++j) {
            s = static_cast<Wide>(q) * m.limb[j] + t[j] + carry;
            t[j - 1] = static_cast<Limb>(s);
            carry = static_cast<Limb>(s >> 64);
        }
        s = static_cast<Wide>(t[n]) + carry;
        t[n - 1] = static_cast<Limb>(s);
        t[n] = t[n + 1] + static_cast<Limb>(s >> 64);
    }
    out.limb.fill(0);
    for (int k = 0; k <= n; ++k)
        out.limb[k] = t[k];
    if (!lessThan(out, m, n))
        subtract(out, m, n);
}

void multiply(const Number &a, const Number &b, const Number &m, Limb mInv, int n, Number &out) {
    switch (n) {
    case 16:
        multiplyLimbs<16>(a, b, m, mInv, n, out);
        return;
    case 8:
        multiplyLimbs<8>(a, b, m, mInv, n, out);
        return;
    default:
        multiplyLimbs<0>(a, b, m, mInv, n, out);
    }
}

// 2^(128 n) mod m, for the modulus seen last on this thread: a server's public key stays the
// same from one connection to the next, and with this the base goes into Montgomery form by
// one multiplication instead of a long division.
const Number &squaredRadix(const TZvWideWord &modulus, int n) {
    struct Cache {
        int length = 0;
        std::array<std::uint8_t, TZvWideWord::BufferSize> digits{};
        Number value;
    };
    thread_local Cache cache;
    if (cache.length != modulus.Length ||
        !std::equal(modulus.Digits.begin(), modulus.Digits.begin() + modulus.Length,
                    cache.digits.begin())) {
        TZvWideWord radix, rest;
        radix.Digits[16 * n] = 1;
        radix.Length = 16 * n + 1;
        radix.Divide(modulus, rest);
        load(rest, cache.value);
        cache.length = modulus.Length;
        std::copy_n(modulus.Digits.begin(), modulus.Length, cache.digits.begin());
    }
    return cache.value;
}

void power(TZvWideWord &base, const TZvWideWord &exponent, const TZvWideWord &modulus) {
    const int n = (modulus.Length + 7) / 8;
    Number m, b, r, one;
    load(modulus, m);
    // -m^-1 mod 2^64 by Newton's iteration (m is odd).
    Limb inverse = 1;
    for (int k = 0; k < 6; ++k)
        inverse *= 2 - m.limb[0] * inverse;
    const Limb mInv = static_cast<Limb>(0) - inverse;
    // The base in Montgomery form, base * 2^(64 n) mod m (the base is below m).
    {
        Number plain;
        load(base, plain);
        multiply(plain, squaredRadix(modulus, n), m, mInv, n, b);
        zv::SecureWipe(plain.limb.data(), sizeof plain.limb);
    }

    // The top exponent bit turns 1 into the base: start there rather than convert 1 as well.
    r = b;
    Number scratch;
    for (int bit = exponent.BitCount() - 2; bit >= 0; --bit) {
        multiply(r, r, m, mInv, n, scratch);
        if (exponent.TestBit(bit))
            multiply(scratch, b, m, mInv, n, r);
        else
            r = scratch;
    }
    one.limb[0] = 1;
    multiply(r, one, m, mInv, n, scratch);

    base.Digits.fill(0);
    for (int k = 0; k < 8 * n; ++k)
        base.Digits[k] = static_cast<std::uint8_t>(scratch.limb[k / 8] >> (8 * (k % 8)));
    base.Length = 8 * n;
    while (base.Length > 0 && base.Digits[base.Length - 1] == 0)
        --base.Length;
    zv::SecureWipe(b.limb.data(), sizeof b.limb);
    zv::SecureWipe(r.limb.data(), sizeof r.limb);
    zv::SecureWipe(scratch.limb.data(), sizeof scratch.limb);
}

} // namespace montgomery

void TZvWideWord::ModPow(const TZvWideWord &exponent, const TZvWideWord &modulus) {
    // Where square-and-multiply cannot overflow, the odd-modulus shortcut gives the same value.
    if (modulus.Length >= 2 && modulus.Length <= 128 && (modulus.Digits[0] & 1) &&
        Length + modulus.Length <= MaxBytes && !exponent.IsZero()) {
        TZvWideWord reduced(*this), rest;
        reduced.Divide(modulus, rest);
        Assign(rest);
        montgomery::power(*this, exponent, modulus);
        return;
    }
    ModPowBySquaring(exponent, modulus);
}

void TZvWideWord::ModPowBySquaring(const TZvWideWord &exponent, const TZvWideWord &modulus) {
    TZvWideWord result;
    TZvWideWord quotient;
    TZvWideWord rest;
    // The starting 1 is reduced too: modulo 1 everything is 0, and a zero modulus fails even
    // for a zero exponent.
    quotient.Assign(1);
    quotient.Divide(modulus, rest);
    result.Assign(rest);
    for (int bit = exponent.BitCount() - 1; bit >= 0; --bit) {
        result.Multiply(result);
        quotient.Assign(result);
        quotient.Divide(modulus, rest);
        result.Assign(rest);
        if (exponent.TestBit(bit)) {
            result.Multiply(*this);
            quotient.Assign(result);
            quotient.Divide(modulus, rest);
            result.Assign(rest);
        }
    }
    Assign(result);
}

int TZvWideWord::BitCount() const {
    if (Length == 0)
        return 0;
    int bits = 0;
    for (std::uint8_t top = Digits[Length - 1]; top != 0; top >>= 1)
        ++bits;
    return 8 * (Length - 1) + bits;
}

bool TZvWideWord::TestBit(int index) const {
    if (index < 0 || index >= 8 * BufferSize)
        return false;
    return (Digits[index / 8] >> (index % 8) & 1) != 0;
}

QByteArray RsaEncryptBytes(const QByteArray &modulus, const QByteArray &exponent,
                           const QByteArray &data) {
    TZvWideWord mod, exp, value;
    mod.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(modulus.constData()),
                           static_cast<int>(std::min<qsizetype>(modulus.size(), 1 << 20)));
    exp.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(exponent.constData()),
                           static_cast<int>(std::min<qsizetype>(exponent.size(), 1 << 20)));
    value.AssignBytes(reinterpret_cast<const std::uint8_t *>(data.constData()),
                      static_cast<int>(std::min<qsizetype>(data.size(), 1 << 20)));
    value.ModPow(exp, mod);
    return value.ToBytes();
}

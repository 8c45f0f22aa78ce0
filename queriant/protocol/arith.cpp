// SPDX-License-Identifier: MIT
#include "arith.h"

#include <cstdio>

namespace {

// Eight 15-bit digits are 120 bits, so a 128-bit integer holds any magnitude exactly.
__extension__ typedef unsigned __int128 Magnitude;

constexpr int MaxDigits = 8;
constexpr Magnitude Base = 32768;
int lastError = mpeNone;

void report(int code) {
    lastError = code;
    // One line on standard output, as the package always did: bell, line break, message.
    std::fputs("\a\n", stdout);
    std::fputs(mp_error_text(code), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int digitCount(const TMpNumber &n) {
    return n.w[0] < 0 ? -n.w[0] : n.w[0];
}
bool negative(const TMpNumber &n) {
    return n.w[0] < 0;
}

Magnitude magnitude(const TMpNumber &n) {
    Magnitude m = 0;
    const int count = digitCount(n) > MaxDigits ? MaxDigits : digitCount(n);
    for (int k = 1; k <= count; ++k)
        m = m * Base + static_cast<Magnitude>(n.w[k] & 0x7FFF);
    return m;
}

int digitsOf(Magnitude m) {
    int count = 0;
    while (m != 0) {
        ++count;
        m /= Base;
    }
    return count;
}

// Builds a record; a magnitude beyond eight digits is an overflow and gives zero.
TMpNumber make(Magnitude m, bool isNegative, int overflowCode = mpeOverflow) {
    const int count = digitsOf(m);
    if (count > MaxDigits) {
        report(overflowCode);
        return mp_zero;
    }
    TMpNumber n;
    for (int k = count; k >= 1; --k) {
        n.w[k] = static_cast<std::int16_t>(m % Base);
        m /= Base;
    }
    n.w[0] = static_cast<std::int16_t>(isNegative && count > 0 ? -count : count);
    return n;
}

// Euclidean division: remainder in 0 .. |d| - 1.
void divide(Magnitude um, bool uNeg, Magnitude dm, bool dNeg, Magnitude &q, bool &qNeg,
            Magnitude &r) {
    q = um / dm;
    r = um % dm;
    if (uNeg && r != 0) {
        q += 1;
        r = dm - r;
    }
    qNeg = (uNeg != dNeg) && q != 0;
}

} // namespace

const TMpNumber mp_zero{};
const TMpNumber mp_one{{1, 1}};
const TMpNumber mp_two{{1, 2}};

int mp_last_error() {
    return lastError;
}
void mp_clear_error() {
    lastError = mpeNone;
}

const char *mp_error_text(int code) {
    switch (code) {
    case mpeAddLength:
        return "Length error in mp addition.";
    case mpeDiviByZero:
        return "Division by zero in mpdivi.";
    case mpeDivByZero:
        return "Division by zero in mpdiv.";
    case mpeSubMagnitude:
        return "abs(u)>abs(v) in mpsub0.";
    case mpeTooLong:
        return "Number too long to display.";
    case mpeBadCharacter:
        return "Bad character in string_to_mp.";
    case mpeOverflow:
        return "Overflow in multiplication.";
    default:
        return "";
    }
}

TMpNumber string_to_mp(const QByteArray &text) {
    qsizetype k = 0;
    const bool isNegative = text.startsWith('-');
    if (isNegative)
        k = 1;
    Magnitude m = 0;
    for (; k < text.size(); ++k) {
        const char c = text[k];
        if (c < '0' || c > '9') {
            report(mpeBadCharacter);
            return mp_zero;
        }
        m = m * 10 + static_cast<Magnitude>(c - '0');
        if (digitsOf(m) > MaxDigits) {
            report(mpeOverflow);
            return mp_zero;
        }
    }
    return make(m, isNegative);
}

QByteArray mp_to_string(const TMpNumber &value) {
    Magnitude m = magnitude(value);
    if (m == 0)
        return QByteArrayLiteral("0");
    QByteArray digits;
    while (m != 0) {
        if (digits.size() >= 255) {
            report(mpeTooLong);
            break;
        }
        digits.prepend(static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    }
    if (negative(value))
        digits.prepend('-');
    return digits;
}

int mpcmp(const TMpNumber &u, const TMpNumber &v) {
    const Magnitude a = magnitude(u), b = magnitude(v);
    return a < b ? -1 : a > b ? 1 : 0;
}

TMpNumber mpadd(const TMpNumber &u, const TMpNumber &v) {
    const Magnitude a = magnitude(u), b = magnitude(v);
    if (negative(u) == negative(v) || a == 0 || b == 0) {
        if (digitCount(u) > MaxDigits - 1 || digitCount(v) > MaxDigits - 1) {
            report(mpeAddLength);
            return mp_zero;
        }
        const bool isNegative = a != 0 ? negative(u) : negative(v);
        return make(a + b, isNegative, mpeAddLength);
    }
    if (a >= b)
        return make(a - b, negative(u));
    return make(b - a, negative(v));
}

TMpNumber mpsub0(const TMpNumber &u, const TMpNumber &v) {
    const Magnitude a = magnitude(u), b = magnitude(v);
    if (b > a) {
        report(mpeSubMagnitude);
        return mp_zero;
    }
    return make(a - b, false);
}

TMpNumber mpmul(const TMpNumber &u, const TMpNumber &v) {
    if (digitCount(u) + digitCount(v) >= MaxDigits + 1) {
        report(mpeOverflow);
        return mp_zero;
    }
    return make(magnitude(u) * magnitude(v), negative(u) != negative(v));
}

TMpNumber mpmuli(const TMpNumber &u, int factor) {
    const long long f = factor;
    const Magnitude fm = static_cast<Magnitude>(f < 0 ? -f : f);
    const Magnitude a = magnitude(u);
    if (a != 0 && fm > (~Magnitude{0}) / a) {
        report(mpeOverflow);
        return mp_zero;
    }
    return make(a * fm, negative(u) != (f < 0));
}

TMpNumber mpaddi(const TMpNumber &u, int n) {
    const long long v = n < 0 ? 0 : n;
    return make(magnitude(u) + static_cast<Magnitude>(v), negative(u), mpeAddLength);
}

TMpNumber mpdivi(const TMpNumber &u, int divisor, int &remainder) {
    if (divisor == 0) {
        report(mpeDiviByZero);
        remainder = 0;
        return mp_one;
    }
    const long long d = divisor;
    Magnitude q, r;
    bool qNeg;
    divide(magnitude(u), negative(u), static_cast<Magnitude>(d < 0 ? -d : d), d < 0, q, qNeg, r);
    remainder = static_cast<int>(r);
    return make(q, qNeg);
}

TMpNumber mpdiv(const TMpNumber &u, const TMpNumber &v, TMpNumber &remainder) {
    const Magnitude b = magnitude(v);
    if (b == 0) {
        report(mpeDivByZero);
        remainder = mp_zero;
        return mp_zero;
    }
    Magnitude q, r;
    bool qNeg;
    divide(magnitude(u), negative(u), b, negative(v), q, qNeg, r);
    remainder = make(r, false);
    return make(q, qNeg);
}

// SPDX-License-Identifier: MIT
// Signed multi-precision integers of up to eight base-32768 digits, used for the data-service
// authentication answer. Failures do not throw: they log their message and set the last
// error code, and the operation gives the documented fallback result.
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// Word 0: digit count, negative for a negative number, 0 for zero; words 1..8: digits in base
// 32768, most significant first.
struct TMpNumber {
    std::array<std::int16_t, 9> w{};
    bool operator==(const TMpNumber &) const = default;
};

enum TMpError : int {
    mpeNone = 0,
    mpeAddLength = 1,
    mpeDiviByZero = 2,
    mpeDivByZero = 3,
    mpeSubMagnitude = 4,
    mpeTooLong = 5,
    mpeBadCharacter = 6,
    mpeOverflow = 7,
};

extern const TMpNumber mp_zero;
extern const TMpNumber mp_one;
extern const TMpNumber mp_two;

int mp_last_error();
void mp_clear_error();
// The text an error reports (without the bell and line break).
const char *mp_error_text(int code);

TMpNumber string_to_mp(const QByteArray &text);
QByteArray mp_to_string(const TMpNumber &value);
// -1, 0 or 1 comparing |u| and |v|.
int mpcmp(const TMpNumber &u, const TMpNumber &v);
TMpNumber mpadd(const TMpNumber &u, const TMpNumber &v);
// |u| - |v|.
TMpNumber mpsub0(const TMpNumber &u, const TMpNumber &v);
TMpNumber mpmul(const TMpNumber &u, const TMpNumber &v);
TMpNumber mpmuli(const TMpNumber &u, int factor);
// |u| + n for a non-negative small n.
TMpNumber mpaddi(const TMpNumber &u, int n);
// Quotient rounded so that the remainder lies in 0 .. |divisor| - 1.
TMpNumber mpdivi(const TMpNumber &u, int divisor, int &remainder);
TMpNumber mpdiv(const TMpNumber &u, const TMpNumber &v, TMpNumber &remainder);

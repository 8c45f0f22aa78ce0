// SPDX-License-Identifier: MIT
// The arithmetic of the session key exchange against OpenSSL: ModPow (and the plain square
// and multiply it stands for) agrees with BN_mod_exp, Multiply with BN_mul, Divide with BN_div.
//
// Input: three length bytes (base up to 128 bytes, exponent up to 8, modulus up to 128),
// then the three numbers big-endian, one after another.
#include "FuzzSupport.h"
#include "OpenSslReference.h"

#include "ZvWideWord.h"

namespace {

struct BnCtxFree {
    void operator()(BN_CTX *c) const { BN_CTX_free(c); }
};

QByteArray Take(fuzz::TInput &input, int count) {
    QByteArray bytes;
    for (int k = 0; k < count && !input.AtEnd(); ++k)
        bytes.append(char(input.Byte()));
    return bytes;
}

TZvWideWord Number(const QByteArray &bytes) {
    TZvWideWord n;
    n.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                         int(bytes.size()));
    return n;
}

BN_CTX *Context() {
    static std::unique_ptr<BN_CTX, BnCtxFree> ctx(BN_CTX_new());
    return ctx.get();
}

void CheckMultiplyAndDivide(const QByteArray &a, const QByteArray &b) {
    const fuzz::Bn x = fuzz::BnFromBytes(a), y = fuzz::BnFromBytes(b);
    TZvWideWord product = Number(a);
    try {
        product.Multiply(Number(b));
        const fuzz::Bn expected(BN_new());
        BN_mul(expected.get(), x.get(), y.get(), Context());
        fuzz::Check(product.ToBytes() == fuzz::BnToBytes(expected.get()), "Multiply differs");
    } catch (const EZvWideWordError &) {
        fuzz::Check(a.size() + b.size() > TZvWideWord::MaxBytes, "Multiply overflow too early");
    }

    TZvWideWord quotient = Number(a), remainder;
    if (BN_is_zero(y.get())) {
        bool refused = false;
        try {
            quotient.Divide(Number(b), remainder);
        } catch (const EZvWideWordError &) {
            refused = true;
        }
        fuzz::Check(refused, "division by zero not refused");
        return;
    }
    quotient.Divide(Number(b), remainder);
    const fuzz::Bn q(BN_new()), r(BN_new());
    BN_div(q.get(), r.get(), x.get(), y.get(), Context());
    fuzz::Check(quotient.ToBytes() == fuzz::BnToBytes(q.get()), "Divide quotient differs");
    fuzz::Check(remainder.ToBytes() == fuzz::BnToBytes(r.get()), "Divide remainder differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::TInput input(data, size);
    const int baseBytes = input.Byte() % 129;
    const int exponentBytes = input.Byte() % 9;
    const int modulusBytes = input.Byte() % 129;
    const QByteArray base = Take(input, baseBytes);
    const QByteArray exponent = Take(input, exponentBytes);
    const QByteArray modulus = Take(input, modulusBytes);

    CheckMultiplyAndDivide(base, modulus);

    const fuzz::Bn b = fuzz::BnFromBytes(base), e = fuzz::BnFromBytes(exponent),
                   m = fuzz::BnFromBytes(modulus);
    TZvWideWord result = Number(base);
    TZvWideWord squared = Number(base);
    if (BN_is_zero(m.get())) {
        bool refused = false;
        try {
            result.ModPow(Number(exponent), Number(modulus));
        } catch (const EZvWideWordError &) {
            refused = true;
        }
        fuzz::Check(refused, "ModPow with modulus 0 not refused");
        return 0;
    }
    result.ModPow(Number(exponent), Number(modulus));
    squared.ModPowBySquaring(Number(exponent), Number(modulus));
    const fuzz::Bn expected(BN_new());
    fuzz::Check(BN_mod_exp(expected.get(), b.get(), e.get(), m.get(), Context()) == 1,
                "BN_mod_exp failed");
    fuzz::Check(result.ToBytes() == fuzz::BnToBytes(expected.get()), "ModPow differs",
                fuzz::Bytes(data, size));
    fuzz::Check(squared.ToBytes() == fuzz::BnToBytes(expected.get()), "ModPowBySquaring differs",
                fuzz::Bytes(data, size));
    return 0;
}

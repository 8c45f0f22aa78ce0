// SPDX-License-Identifier: MIT
// TZvWideWord::ModPow with a 1024-bit modulus against OpenSSL's BN_mod_exp on the same numbers:
// the session key exchange itself (16-byte key, exponent 65537) and a full-size exponent.
// Each benchmark first checks that both give the same result.
#include "ZvWideWord.h"

#include <openssl/bn.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Most significant byte first; reproducible from the seed.
Bytes randomBytes(int count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(static_cast<std::size_t>(count));
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>(generator());
    return bytes;
}

// An odd 1024-bit number, as an RSA modulus is.
Bytes modulus1024() {
    Bytes n = randomBytes(128, 1024);
    n.front() |= 0x80;
    n.back() |= 0x01;
    return n;
}

struct PowerCase {
    Bytes base;
    Bytes exponent;
    Bytes modulus;
};

PowerCase sessionKeyCase() {
    Bytes key = randomBytes(16, 16);
    key.front() |= 0x10; // keeps AssignBytes from adding its marker byte
    return {key, Bytes{0x01, 0x00, 0x01}, modulus1024()};
}

PowerCase fullExponentCase() {
    Bytes exponent = randomBytes(128, 4096);
    exponent.front() = static_cast<std::uint8_t>(exponent.front() & 0x7f) | 0x40;
    Bytes base = randomBytes(127, 127);
    base.front() |= 0x10;
    return {base, exponent, modulus1024()};
}

PowerCase powerCase(std::int64_t which) {
    return which == 0 ? sessionKeyCase() : fullExponentCase();
}

const char *caseLabel(std::int64_t which) {
    return which == 0 ? "16-byte key to e=65537" : "1024-bit exponent";
}

struct WideOperands {
    TZvWideWord base, exponent, modulus;
};

WideOperands wideOperands(const PowerCase &c) {
    WideOperands w;
    w.base.AssignBytes(c.base.data(), static_cast<int>(c.base.size()));
    w.exponent.AssignBytesTrimmed(c.exponent.data(), static_cast<int>(c.exponent.size()));
    w.modulus.AssignBytesTrimmed(c.modulus.data(), static_cast<int>(c.modulus.size()));
    return w;
}

BIGNUM *toBignum(const Bytes &bytes) {
    return BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
}

Bytes openSslPower(const PowerCase &c) {
    BIGNUM *a = toBignum(c.base), *p = toBignum(c.exponent), *m = toBignum(c.modulus);
    BIGNUM *r = BN_new();
    BN_CTX *ctx = BN_CTX_new();
    BN_mod_exp(r, a, p, m, ctx);
    Bytes result(static_cast<std::size_t>(BN_num_bytes(r)));
    BN_bn2bin(r, result.data());
    BN_CTX_free(ctx);
    BN_free(r);
    BN_free(m);
    BN_free(p);
    BN_free(a);
    return result;
}

bool sameAsOpenSsl(const TZvWideWord &result, const PowerCase &c) {
    const QByteArray ours = result.ToBytes();
    return Bytes(ours.begin(), ours.end()) == openSslPower(c);
}

template <typename Power> void wideWordPower(benchmark::State &state, Power power) {
    const PowerCase c = powerCase(state.range(0));
    const WideOperands w = wideOperands(c);
    TZvWideWord value;
    value.Assign(w.base);
    power(value, w.exponent, w.modulus);
    if (!sameAsOpenSsl(value, c)) {
        state.SkipWithError("result differs from BN_mod_exp");
        return;
    }
    for (auto _ : state) {
        value.Assign(w.base);
        power(value, w.exponent, w.modulus);
        benchmark::DoNotOptimize(value.Digits.data());
    }
    state.SetLabel(caseLabel(state.range(0)));
}

void BM_WideWordModPow(benchmark::State &state) {
    wideWordPower(
        state, [](TZvWideWord &v, const TZvWideWord &e, const TZvWideWord &m) { v.ModPow(e, m); });
}

// The plain square-and-multiply path, for comparison with the shortcut ModPow takes.
void BM_WideWordModPowBySquaring(benchmark::State &state) {
    wideWordPower(state, [](TZvWideWord &v, const TZvWideWord &e, const TZvWideWord &m) {
        v.ModPowBySquaring(e, m);
    });
}

void BM_OpenSslModExp(benchmark::State &state) {
    const PowerCase c = powerCase(state.range(0));
    BIGNUM *a = toBignum(c.base), *p = toBignum(c.exponent), *m = toBignum(c.modulus);
    BIGNUM *r = BN_new();
    BN_CTX *ctx = BN_CTX_new();
    for (auto _ : state) {
        if (BN_mod_exp(r, a, p, m, ctx) != 1) {
            state.SkipWithError("BN_mod_exp failed");
            break;
        }
        benchmark::DoNotOptimize(r);
    }
    BN_CTX_free(ctx);
    BN_free(r);
    BN_free(m);
    BN_free(p);
    BN_free(a);
    state.SetLabel(caseLabel(state.range(0)));
}

// Argument 0: the session key exchange; 1: a full-size exponent.
BENCHMARK(BM_WideWordModPow)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenSslModExp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WideWordModPowBySquaring)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

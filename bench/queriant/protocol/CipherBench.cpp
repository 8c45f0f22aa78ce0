// SPDX-License-Identifier: MIT
// One message body through TCtrChain, the way a popup message is built and read (a fresh chain
// per message, in place), against OpenSSL's AES-128-CBC doing the same work: key schedule and
// IV per message, one reused context, in place, no padding added by the engine.
#include "CtrChain.h"

#include <openssl/evp.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

const TCtrChain::SessionKey BenchKey = {0x3c, 0x91, 0x0f, 0x6e, 0xd2, 0x47, 0xa8, 0x15,
                                        0x7b, 0xe4, 0x29, 0xc6, 0x50, 0x8d, 0xf3, 0x1a};

std::vector<std::uint8_t> messageBody(std::int64_t size) {
    std::vector<std::uint8_t> body(static_cast<std::size_t>(size));
    for (std::size_t k = 0; k < body.size(); ++k)
        body[k] = static_cast<std::uint8_t>(k * 31 + 7);
    return body;
}

void reportBytes(benchmark::State &state) {
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_CtrChainEncrypt(benchmark::State &state) {
    std::vector<std::uint8_t> body = messageBody(state.range(0));
    for (auto _ : state) {
        TCtrChain(BenchKey).Encrypt(body.data(), body.data(), body.size());
        benchmark::ClobberMemory();
    }
    reportBytes(state);
}

void BM_CtrChainDecrypt(benchmark::State &state) {
    std::vector<std::uint8_t> body = messageBody(state.range(0));
    for (auto _ : state) {
        TCtrChain(BenchKey).Decrypt(body.data(), body.data(), body.size());
        benchmark::ClobberMemory();
    }
    reportBytes(state);
}

void openSslCbc(benchmark::State &state, int encrypt) {
    std::vector<std::uint8_t> body = messageBody(state.range(0));
    // The same key TCtrChain derives, so both sides schedule the same key.
    const TCtrChain chain(BenchKey);
    const std::uint8_t iv[16] = {};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    const int size = static_cast<int>(body.size());
    for (auto _ : state) {
        int produced = 0;
        if (EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, chain.Key.data(), iv, encrypt) !=
                1 ||
            EVP_CIPHER_CTX_set_padding(ctx, 0) != 1 ||
            EVP_CipherUpdate(ctx, body.data(), &produced, body.data(), size) != 1 ||
            produced != size) {
            state.SkipWithError("OpenSSL AES-128-CBC failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    reportBytes(state);
}

void BM_OpenSslCbcEncrypt(benchmark::State &state) {
    openSslCbc(state, 1);
}

void BM_OpenSslCbcDecrypt(benchmark::State &state) {
    openSslCbc(state, 0);
}

// A short request, a typical descriptor answer, and the 16 KiB body of a large look-up.
void messageSizes(benchmark::internal::Benchmark *b) {
    b->Arg(64)->Arg(1024)->Arg(16384);
}

BENCHMARK(BM_CtrChainEncrypt)->Apply(messageSizes);
BENCHMARK(BM_OpenSslCbcEncrypt)->Apply(messageSizes);
BENCHMARK(BM_CtrChainDecrypt)->Apply(messageSizes);
BENCHMARK(BM_OpenSslCbcDecrypt)->Apply(messageSizes);

} // namespace

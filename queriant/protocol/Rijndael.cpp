// SPDX-License-Identifier: MIT
#include "Rijndael.h"

#include "SecureWipe.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace {

// Ciphers are fetched by name once per process: handing OpenSSL its built-in cipher objects
// makes it look the implementation up again for every new context, once per message.
const EVP_CIPHER *fetched(const char *name, const EVP_CIPHER *(*builtIn)()) {
    EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    return cipher ? cipher : builtIn();
}

const EVP_CIPHER *cbcCipher(int keyBytes) {
    switch (keyBytes) {
    case 16: {
        static const EVP_CIPHER *const aes128 = fetched("AES-128-CBC", EVP_aes_128_cbc);
        return aes128;
    }
    case 24: {
        static const EVP_CIPHER *const aes192 = fetched("AES-192-CBC", EVP_aes_192_cbc);
        return aes192;
    }
    default: {
        static const EVP_CIPHER *const aes256 = fetched("AES-256-CBC", EVP_aes_256_cbc);
        return aes256;
    }
    }
}

const EVP_CIPHER *ecbCipher(int keyBytes) {
    switch (keyBytes) {
    case 16: {
        static const EVP_CIPHER *const aes128 = fetched("AES-128-ECB", EVP_aes_128_ecb);
        return aes128;
    }
    case 24: {
        static const EVP_CIPHER *const aes192 = fetched("AES-192-ECB", EVP_aes_192_ecb);
        return aes192;
    }
    default: {
        static const EVP_CIPHER *const aes256 = fetched("AES-256-ECB", EVP_aes_256_ecb);
        return aes256;
    }
    }
}

EVP_CIPHER_CTX *newContext(const EVP_CIPHER *cipher, const std::uint8_t *key, int encrypt) {
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    if (!ctx || EVP_CipherInit_ex(ctx, cipher, nullptr, key, nullptr, encrypt) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        throw ERijndaelError(QStringLiteral("Rijndael: cipher engine unavailable"));
    }
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    return ctx;
}

} // namespace

TRijndael::TRijndael() = default;

TRijndael::~TRijndael() {
    FreeContexts();
    zv::SecureWipe(m_key.data(), m_key.size());
}

void TRijndael::FreeContexts() {
    EVP_CIPHER_CTX_free(m_cbcEncrypt);
    EVP_CIPHER_CTX_free(m_cbcDecrypt);
    EVP_CIPHER_CTX_free(m_blockEncrypt);
    m_cbcEncrypt = m_cbcDecrypt = m_blockEncrypt = nullptr;
}

void TRijndael::Init(const std::uint8_t *key, int keyBits) {
    Init(key, keyBits, Block{});
}

void TRijndael::Init(const std::uint8_t *key, int keyBits, const Block &iv) {
    if (keyBits < 8 || keyBits > 256 || keyBits % 8 != 0)
        throw ERijndaelError(QStringLiteral("Rijndael: Invalid key size - %1").arg(keyBits));
    m_initialized = false;
    const int given = keyBits / 8;
    const int keyBytes = given <= 16 ? 16 : given <= 24 ? 24 : 32;
    if (keyBytes != m_keyBytes)
        FreeContexts();
    m_keyBytes = keyBytes;
    m_rounds = m_keyBytes == 16 ? 10 : m_keyBytes == 24 ? 12 : 14;
    std::array<std::uint8_t, 32> next{};
    std::memcpy(next.data(), key, static_cast<std::size_t>(given));
    // A chain restarted under the same key (one per message) keeps its keyed contexts.
    if (CRYPTO_memcmp(next.data(), m_key.data(), m_key.size()) != 0) {
        m_key = next;
        RekeyContexts();
    }
    zv::SecureWipe(next.data(), next.size());
    m_iv = iv;
    m_chain = iv;
    m_initialized = true;
}

// A message chain is keyed afresh for every message; reloading the key into the contexts we
// have is much cheaper than creating new ones.
void TRijndael::RekeyContexts() {
    for (EVP_CIPHER_CTX *ctx : {m_cbcEncrypt, m_cbcDecrypt, m_blockEncrypt}) {
        if (ctx && EVP_CipherInit_ex(ctx, nullptr, nullptr, m_key.data(), nullptr, -1) != 1) {
            FreeContexts();
            return;
        }
    }
}

void TRijndael::Reset() {
    m_chain = m_iv;
}

void TRijndael::RequireInitialized() const {
    if (!m_initialized)
        throw ERijndaelError(QStringLiteral("Rijndael: Not initialized"));
}

// OpenSSL's CBC with our chaining value as IV gives the same result as chaining block by
// block; its context keeps the key schedule so only the IV is reloaded per call. Leaves the
// chaining value at the last ciphertext block, saved before an in-place decryption overwrites it.
void TRijndael::CryptWholeBlocks(EVP_CIPHER_CTX *ctx, const std::uint8_t *in, std::uint8_t *out,
                                 std::size_t n) {
    const bool encrypting = EVP_CIPHER_CTX_is_encrypting(ctx) == 1;
    std::size_t done = 0;
    while (done < n) {
        const std::size_t chunk = std::min<std::size_t>(n - done, std::size_t{1} << 30);
        Block next{};
        if (!encrypting)
            std::memcpy(next.data(), in + done + chunk - BlockSize, BlockSize);
        int produced = 0;
        if (EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, m_chain.data(), -1) != 1 ||
            EVP_CipherUpdate(ctx, out + done, &produced, in + done, static_cast<int>(chunk)) != 1 ||
            static_cast<std::size_t>(produced) != chunk)
            throw ERijndaelError(QStringLiteral("Rijndael: cipher engine failure"));
        if (encrypting)
            std::memcpy(next.data(), out + done + chunk - BlockSize, BlockSize);
        m_chain = next;
        done += chunk;
    }
}

void TRijndael::CryptPartialBlock(const std::uint8_t *in, std::uint8_t *out, std::size_t r) {
    if (!m_blockEncrypt)
        m_blockEncrypt = newContext(ecbCipher(m_keyBytes), m_key.data(), 1);
    Block stream{};
    int produced = 0;
    if (EVP_EncryptUpdate(m_blockEncrypt, stream.data(), &produced, m_chain.data(), BlockSize) !=
            1 ||
        produced != BlockSize)
        throw ERijndaelError(QStringLiteral("Rijndael: cipher engine failure"));
    for (std::size_t k = 0; k < r; ++k)
        out[k] = in[k] ^ stream[k];
    zv::SecureWipe(stream.data(), stream.size());
}

void TRijndael::Encrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n) {
    RequireInitialized();
    const std::size_t whole = n - n % BlockSize;
    if (whole > 0) {
        if (!m_cbcEncrypt)
            m_cbcEncrypt = newContext(cbcCipher(m_keyBytes), m_key.data(), 1);
        CryptWholeBlocks(m_cbcEncrypt, in, out, whole);
    }
    if (whole < n)
        CryptPartialBlock(in + whole, out + whole, n - whole);
}

void TRijndael::Decrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n) {
    RequireInitialized();
    const std::size_t whole = n - n % BlockSize;
    if (whole > 0) {
        if (!m_cbcDecrypt)
            m_cbcDecrypt = newContext(cbcCipher(m_keyBytes), m_key.data(), 0);
        CryptWholeBlocks(m_cbcDecrypt, in, out, whole);
    }
    if (whole < n)
        CryptPartialBlock(in + whole, out + whole, n - whole);
}

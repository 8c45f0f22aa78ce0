// SPDX-License-Identifier: MIT
// AES engine with the CBC chaining the client uses for message bodies and stored secrets.
// The block transform is OpenSSL's; chaining state, the partial-block rule and Reset are ours.
#pragma once

#include "ZvError.h"

#include <array>
#include <cstddef>
#include <cstdint>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

class ERijndaelError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TRijndael {
public:
    static constexpr int BlockSize = 16;
    using Block = std::array<std::uint8_t, BlockSize>;

    TRijndael();
    ~TRijndael();
    TRijndael(const TRijndael &) = delete;
    TRijndael &operator=(const TRijndael &) = delete;

    // keyBits: a multiple of 8 from 8 to 256; shorter keys are zero-extended to 128/192/256.
    // Throws "Rijndael: Invalid key size - %d".
    void Init(const std::uint8_t *key, int keyBits, const Block &iv);
    void Init(const std::uint8_t *key, int keyBits);

    // CBC over n bytes, in == out allowed. A trailing partial block is XORed with the encryption
    // of the chaining value and does not advance it. Throws "Rijndael: Not initialized".
    void Encrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n);
    void Decrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n);

    // The chaining value returns to the initialisation vector.
    void Reset();

    bool Initialized() const { return m_initialized; }
    int Rounds() const { return m_rounds; }
    const Block &ChainValue() const { return m_chain; }

private:
    void RequireInitialized() const;
    void CryptWholeBlocks(EVP_CIPHER_CTX *ctx, const std::uint8_t *in, std::uint8_t *out,
                          std::size_t n);
    void CryptPartialBlock(const std::uint8_t *in, std::uint8_t *out, std::size_t r);
    void FreeContexts();
    void RekeyContexts();

    std::array<std::uint8_t, 32> m_key{};
    int m_keyBytes = 0;
    int m_rounds = 0;
    Block m_iv{};
    Block m_chain{};
    bool m_initialized = false;
    EVP_CIPHER_CTX *m_cbcEncrypt = nullptr;
    EVP_CIPHER_CTX *m_cbcDecrypt = nullptr;
    EVP_CIPHER_CTX *m_blockEncrypt = nullptr;
};

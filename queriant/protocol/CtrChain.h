// SPDX-License-Identifier: MIT
// Message cipher of the popup and data-service protocols: AES-128-CBC under the session key
// mixed with two header words and the fixed key mask, chaining across calls on one object.
#pragma once

#include "Rijndael.h"

#include <array>
#include <cstddef>
#include <cstdint>

class TCtrChain {
public:
    static constexpr int KeySize = 16;
    using SessionKey = std::array<std::uint8_t, KeySize>;

    // The mask every peer XORs into the session key; published in docs/protocol.md.
    static const SessionKey KeyMask;

    explicit TCtrChain(const SessionKey &sessionKey, std::uint32_t a = 0, std::uint32_t b = 0);
    explicit TCtrChain(const std::uint8_t *sessionKey, std::uint32_t a = 0, std::uint32_t b = 0);
    ~TCtrChain();
    TCtrChain(const TCtrChain &) = delete;
    TCtrChain &operator=(const TCtrChain &) = delete;

    // n must be 0 or at least one block; in == out allowed.
    void Encrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n);
    void Decrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n);

    // Padding bytes for n plain bytes: 1 to 16.
    static int PadCount(std::size_t n);
    // Sets n bytes to the value n.
    static void FillPad(std::uint8_t *buffer, int n);

    SessionKey Key{};
    TRijndael::Block ChainValue{};

private:
    TRijndael m_aes;
};

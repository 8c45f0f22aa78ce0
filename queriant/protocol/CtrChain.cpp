// SPDX-License-Identifier: MIT
#include "CtrChain.h"

#include "SecureWipe.h"

#include <cstring>

const TCtrChain::SessionKey TCtrChain::KeyMask = {0xA7, 0x1E, 0x5C, 0x93, 0x02, 0xF8, 0x6B, 0xD4,
                                                  0x39, 0xC0, 0x85, 0x2E, 0x71, 0x4A, 0xE6, 0xBD};

namespace {

void xorWord(std::uint8_t *bytes, std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes[k] ^= static_cast<std::uint8_t>(value >> (8 * k));
}

} // namespace

TCtrChain::TCtrChain(const SessionKey &sessionKey, std::uint32_t a, std::uint32_t b)
    : TCtrChain(sessionKey.data(), a, b) {}

TCtrChain::TCtrChain(const std::uint8_t *sessionKey, std::uint32_t a, std::uint32_t b) {
    std::memcpy(Key.data(), sessionKey, KeySize);
    xorWord(Key.data(), a);
    xorWord(Key.data() + 4, b);
    for (int k = 0; k < KeySize; ++k)
        Key[k] ^= KeyMask[k];
}

TCtrChain::~TCtrChain() {
    zv::SecureWipe(Key.data(), Key.size());
}

// Input shorter than one block is still ciphered (partial-block rule) but cannot carry the
// chain on, since there is no whole ciphertext block to take it from.
void TCtrChain::Encrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n) {
    if (n == 0)
        return;
    m_aes.Init(Key.data(), 128, ChainValue);
    m_aes.Encrypt(in, out, n);
    if (n >= TRijndael::BlockSize)
        std::memcpy(ChainValue.data(), out + n - TRijndael::BlockSize, TRijndael::BlockSize);
}

void TCtrChain::Decrypt(const std::uint8_t *in, std::uint8_t *out, std::size_t n) {
    if (n == 0)
        return;
    m_aes.Init(Key.data(), 128, ChainValue);
    if (n >= TRijndael::BlockSize)
        std::memcpy(ChainValue.data(), in + n - TRijndael::BlockSize, TRijndael::BlockSize);
    m_aes.Decrypt(in, out, n);
}

int TCtrChain::PadCount(std::size_t n) {
    return 16 - static_cast<int>(n % 16);
}

void TCtrChain::FillPad(std::uint8_t *buffer, int n) {
    if (n > 0)
        std::memset(buffer, n, static_cast<std::size_t>(n));
}

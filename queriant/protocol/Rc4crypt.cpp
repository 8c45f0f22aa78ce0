// SPDX-License-Identifier: MIT
#include "Rc4crypt.h"

#include "AesUse.h"
#include "SecureWipe.h"

#include <algorithm>
#include <utility>

TSRC4Crypt::TSRC4Crypt(const std::uint8_t *key, int keyLength) {
    if (keyLength <= 0)
        keyLength = 16;
    if (!key) {
        key = TAesUse::Key;
        keyLength = std::min(keyLength, 16);
    }
    for (int k = 0; k < 256; ++k)
        State[k] = static_cast<std::uint8_t>(k);
    std::uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = static_cast<std::uint8_t>(j + State[k] + key[k % keyLength]);
        std::swap(State[k], State[j]);
    }
}

TSRC4Crypt::~TSRC4Crypt() {
    zv::SecureWipe(State.data(), State.size());
}

void TSRC4Crypt::Crypt(std::uint8_t *buffer, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        m_i = static_cast<std::uint8_t>(m_i + 1);
        m_j = static_cast<std::uint8_t>(m_j + State[m_i]);
        std::swap(State[m_i], State[m_j]);
        buffer[k] ^= State[static_cast<std::uint8_t>(State[m_i] + State[m_j])];
    }
}

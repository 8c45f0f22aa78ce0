// SPDX-License-Identifier: MIT
// RC4 stream cipher for the answer record and parts of the data-service protocol.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TSRC4Crypt {
public:
    // No key means the default key (the fixed answer key); a length of 0 means 16 bytes.
    explicit TSRC4Crypt(const std::uint8_t *key = nullptr, int keyLength = 0);
    ~TSRC4Crypt();
    TSRC4Crypt(const TSRC4Crypt &) = delete;
    TSRC4Crypt &operator=(const TSRC4Crypt &) = delete;

    // Encrypts or decrypts n bytes in place; consecutive calls continue the key stream.
    void Crypt(std::uint8_t *buffer, std::size_t n);
    void Crypt(char *buffer, std::size_t n) { Crypt(reinterpret_cast<std::uint8_t *>(buffer), n); }

    std::array<std::uint8_t, 256> State{};

private:
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

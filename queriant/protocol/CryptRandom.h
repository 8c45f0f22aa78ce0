// SPDX-License-Identifier: MIT
// Cryptographic random bytes from the operating system, for session keys.
#pragma once

#include "ZvError.h"

#include <cstddef>
#include <cstdint>

class ECryptRandomError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TCryptRandom {
public:
    // Throws "Error %x during CryptAcquireContext" when the system has no random source.
    TCryptRandom();
    ~TCryptRandom();
    TCryptRandom(const TCryptRandom &) = delete;
    TCryptRandom &operator=(const TCryptRandom &) = delete;

    // A short read is an error ("Error %x during CryptGenRandom"): a key must never be
    // partly predictable.
    void Fill(std::size_t count, std::uint8_t *buffer);
};

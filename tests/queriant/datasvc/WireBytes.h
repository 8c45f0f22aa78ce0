// SPDX-License-Identifier: MIT
// Hand-made wire bytes for the data-service tests, written from the packet layout so that a
// fault in the encoder is not copied into the expectations.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace wire {

inline QByteArray word(std::uint32_t v) {
    QByteArray b(4, '\0');
    for (int k = 0; k < 4; ++k)
        b[k] = static_cast<char>(v >> (8 * k));
    return b;
}

inline QByteArray str(const QByteArray &text, std::uint8_t type = 0x0A) {
    return QByteArray(1, static_cast<char>(type)) +
           word(static_cast<std::uint32_t>(text.size() + 1)) + text + QByteArray(1, '\0');
}

inline QByteArray block(std::uint8_t type, const QByteArray &bytes) {
    return QByteArray(1, static_cast<char>(type)) + word(static_cast<std::uint32_t>(bytes.size())) +
           bytes;
}

inline QByteArray fixed(std::uint8_t type, std::uint32_t v, int size = 4) {
    return QByteArray(1, static_cast<char>(type)) + word(v).left(size);
}

inline QByteArray status(char c) {
    return QByteArray(1, '\x01') + QByteArray(1, c);
}

inline QByteArray packet(const QByteArray &values, std::uint32_t id = 7) {
    return QByteArray("ZVCOM") + word(static_cast<std::uint32_t>(13 + values.size())) + word(id) +
           values;
}

} // namespace wire

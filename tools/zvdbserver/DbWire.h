// SPDX-License-Identifier: MIT
// The data-service packet format as the server sees it: "ZVCOM", total length and packet id
// (little-endian), then typed values; encrypted packets are padded and AES-128-CBC enciphered
// from byte 13 under the session key mixed with the header's two words and the key mask.
// Values whose type byte has bit 6 carry an RC4-enciphered payload (one stream per packet).
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace dbwire {

using Key = std::array<std::uint8_t, 16>;

enum Code : std::uint8_t {
    Int8 = 1,
    Int32 = 5,
    UInt32 = 6,
    String = 10,
    Binary = 11,
    TableStart = 13,
};

struct Value {
    int code = 0;
    bool null = true;
    bool rc4 = false;   // the payload was (or is to be) RC4-enciphered
    QByteArray payload; // fixed bytes little-endian, or the L bytes of a string or binary

    QString text() const; // strings up to their zero byte; numbers in decimal
    std::int64_t number() const;
};

// Values after the header, and writers for them.
class Body {
public:
    void addString(const QString &text, bool rc4 = false);
    void addNullString();
    void addInt8(char c);
    void addInt32(std::int32_t v, bool rc4 = false);
    void addUInt32(std::uint32_t v, bool rc4 = false);
    void addTableStart(std::uint32_t columns);
    void addBinary(const QByteArray &bytes, bool rc4 = false);
    const QByteArray &bytes() const { return m_bytes; }

private:
    void add(std::uint8_t code, const QByteArray &payload, bool block, bool rc4);
    QByteArray m_bytes;
    std::vector<std::pair<qsizetype, qsizetype>> m_rc4Ranges;
    friend void frame(std::uint32_t, const Body &, const Key *, QByteArray &);
};

// A whole packet; encrypted when key is given. The second form writes into out.
QByteArray frame(std::uint32_t packetId, const Body &body, const Key *key);
void frame(std::uint32_t packetId, const Body &body, const Key *key, QByteArray &out);
// The header's length field.
std::uint32_t lengthOf(const QByteArray &header);
std::uint32_t idOf(const QByteArray &header);
// Deciphers a whole received packet in place and returns the end of its values; -1 when the
// body is not whole blocks or the padding is impossible.
qsizetype decrypt(QByteArray &packet, const Key &key);
// The values from byte 13 to end, RC4 payloads deciphered; false when one runs past the end.
bool parse(const QByteArray &packet, qsizetype end, std::vector<Value> &values);

} // namespace dbwire

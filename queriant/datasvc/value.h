// SPDX-License-Identifier: MIT
// Self-describing typed values of the data-service protocol: one type byte (code, encrypted
// flag, null flag) and a payload whose size the code fixes, or a 32-bit length for strings and
// binary data.
#pragma once

#include "ZvComErrors.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <cstring>

enum TZvComTypeCode : std::uint8_t {
    zvcNone = 0,
    zvcInteger8 = 1,
    zvcUInteger8 = 2,
    zvcInteger16 = 3,
    zvcUInteger16 = 4,
    zvcInteger32 = 5,
    zvcUInteger32 = 6,
    zvcFloat = 7,
    zvcDouble = 8,
    zvcDateTime = 9,
    zvcString = 10,
    zvcBinary = 11,
    zvcArray = 12,
    zvcTableStart = 13,
};

inline constexpr std::uint8_t ZvComCodeMask = 0x3F;
inline constexpr std::uint8_t ZvComEncryptedFlag = 0x40;
inline constexpr std::uint8_t ZvComNullFlag = 0x80;
inline constexpr int ZvComLastCode = zvcTableStart;

// Resource texts of the library: 12022 the decoder's type error, 12023 + code the type names.
inline constexpr int SZvComTypeError = 12022;
inline constexpr int SZvComTypeNameBase = 12023;
QString ZvComResourceString(int id);
// The type name of a code 0..13; empty for any other code (those are not values).
QString ZvComTypeName(int code);
// Resource string 12022 filled with the expected and received type names and the field.
QString ZvComTypeErrorText(int expectedCode, int receivedCode, int field);

// Payload bytes after the type byte for a value that is not null (strings and binary data:
// the length word alone; their L bytes come on top).
inline constexpr std::uint8_t ZvComFixedSizes[ZvComLastCode + 1] = {0, 1, 1, 2, 2, 4, 4,
                                                                    4, 8, 8, 4, 4, 4, 4};
inline int ZvComFixedPayloadSize(int code) {
    return code >= 0 && code <= ZvComLastCode ? ZvComFixedSizes[code] : 0;
}

class TZvComValue {
public:
    // A null value of code 0.
    TZvComValue() = default;
    static TZvComValue Null(int code);
    // Builds a value from its wire form: the type byte and, when it is not null, the fixed
    // payload (fixedSize bytes) or the L bytes of a string or binary. With borrow, the block
    // refers to the caller's bytes, which must outlive the value.
    static TZvComValue FromWire(std::uint8_t typeByte, const std::uint8_t *payload,
                                std::uint32_t length, bool borrow);
    // The same in place (the decoder fills table cells with it).
    [[gnu::always_inline]] void SetWire(std::uint8_t typeByte, const std::uint8_t *payload,
                                        std::uint32_t length, bool borrow) {
        m_type = typeByte;
        m_code = typeByte & ZvComCodeMask;
        m_length = 0;
        if (IsNull()) {
            m_block = QByteArray();
            return;
        }
        m_length = length;
        if (m_code == zvcString || m_code == zvcBinary) {
            const char *bytes = reinterpret_cast<const char *>(payload);
            m_block = borrow ? QByteArray::fromRawData(bytes, length) : QByteArray(bytes, length);
        } else {
            CopyFixed(payload, length);
        }
    }

    std::uint8_t TypeByte() const { return m_type; }
    int Code() const { return m_code; }
    bool IsNull() const { return (m_type & ZvComNullFlag) != 0 || m_code == zvcNone; }
    bool IsEncrypted() const { return (m_type & ZvComEncryptedFlag) != 0; }
    void SetEncrypted(bool encrypted);
    // Payload size: 0 for null values, L for strings and binary data.
    std::uint32_t PayloadLength() const { return m_length; }
    // 1 for a null value, else 1 + payload (5 + L for strings and binary data).
    std::uint32_t EncodedSize() const;

    // The payload as it travels: the fixed bytes (little-endian) or the L bytes.
    const std::uint8_t *PayloadBytes() const;

    QString AsText() const;

    qint8 AsInteger8() const;
    quint8 AsUInteger8() const;
    qint16 AsInteger16() const;
    quint16 AsUInteger16() const;
    qint32 AsInteger() const;
    quint32 AsCardinal() const;
    float AsFloat() const;
    double AsDouble() const;
    QDateTime AsDateTime() const;
    // Text up to the first zero byte of the L bytes (all of them when none is zero).
    QString AsString() const;
    QByteArray AsBinary() const;
    // The count of an array length or table start.
    quint32 AsCount() const;

protected:
    TZvComValue(int code, const void *fixed, int size);
    TZvComValue(int code, const QByteArray &block);

private:
    friend class TZvComDecodePacket; // deciphers flagged payloads in the value's own bytes
    std::uint8_t *OwnPayload() {
        return m_code == zvcString || m_code == zvcBinary
                   ? reinterpret_cast<std::uint8_t *>(m_block.data())
                   : m_fixed.data();
    }
    // Sizes known at compile time copy without a library call.
    void CopyFixed(const std::uint8_t *payload, std::uint32_t length) {
        switch (length) {
        case 1:
            m_fixed[0] = payload[0];
            break;
        case 2:
            std::memcpy(m_fixed.data(), payload, 2);
            break;
        case 4:
            std::memcpy(m_fixed.data(), payload, 4);
            break;
        case 8:
            std::memcpy(m_fixed.data(), payload, 8);
            break;
        default:
            std::memcpy(m_fixed.data(), payload, length);
        }
    }
    void Require(int code) const;
    std::uint64_t FixedWord() const;

    std::uint8_t m_type = ZvComNullFlag;
    std::uint8_t m_code = zvcNone;
    std::uint32_t m_length = 0;
    std::array<std::uint8_t, 8> m_fixed{};
    QByteArray m_block;
};

// The subclasses only choose the code; they add no state, so a value may be kept as its base.
class TZvComInteger8 : public TZvComValue {
public:
    explicit TZvComInteger8(qint8 v) : TZvComValue(zvcInteger8, &v, 1) {}
};
class TZvComUInteger8 : public TZvComValue {
public:
    explicit TZvComUInteger8(quint8 v) : TZvComValue(zvcUInteger8, &v, 1) {}
};
class TZvComInteger16 : public TZvComValue {
public:
    explicit TZvComInteger16(qint16 v);
};
class TZvComUInteger16 : public TZvComValue {
public:
    explicit TZvComUInteger16(quint16 v);
};
class TZvComInteger32 : public TZvComValue {
public:
    explicit TZvComInteger32(qint32 v);
};
class TZvComUInteger32 : public TZvComValue {
public:
    explicit TZvComUInteger32(quint32 v);
};
class TZvComFloat : public TZvComValue {
public:
    explicit TZvComFloat(float v);
};
class TZvComDouble : public TZvComValue {
public:
    explicit TZvComDouble(double v);
};
class TZvComDateTime : public TZvComValue {
public:
    explicit TZvComDateTime(const QDateTime &v);
};
// Travels as UTF-8 followed by one zero byte.
class TZvComString : public TZvComValue {
public:
    explicit TZvComString(const QString &text);
};
class TZvComBinary : public TZvComValue {
public:
    explicit TZvComBinary(const QByteArray &bytes);
};
class TZvComArray : public TZvComValue {
public:
    explicit TZvComArray(quint32 count);
};
class TZvComTableStart : public TZvComValue {
public:
    explicit TZvComTableStart(quint32 columns);
};

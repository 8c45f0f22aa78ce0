// SPDX-License-Identifier: MIT
// Packets of the data-service protocol: a 13-byte header ("ZVCOM", total length, packet id),
// the typed values, and on encrypted packets the padding; the encoder that builds one, the
// decoder that reads one, and the result table a response can carry.
//
// The decoder is a pure function over bytes: it never reads past the bytes it was given and
// reports malformed input with the library's exceptions.
#pragma once

#include "CtrChain.h"
#include "Rc4crypt.h"
#include "value.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

inline constexpr int ZvComHeaderSize = 13;
inline constexpr std::uint32_t ZvComMaxPacketLength = 0x500000;
inline constexpr char ZvComMagic[] = "ZVCOM";

using TZvComSessionKey = TCtrChain::SessionKey;

// A block of fixed capacity written from the front.
class TTransmitBuffer {
public:
    explicit TTransmitBuffer(qsizetype capacity);
    // Throws EZvComException "Memory Block too small" when the bytes do not fit.
    void Write(const void *bytes, qsizetype count);
    void WriteByte(std::uint8_t b) { Write(&b, 1); }
    void WriteWord(std::uint32_t v);
    std::uint8_t *Data() { return reinterpret_cast<std::uint8_t *>(m_block.data()); }
    qsizetype Capacity() const { return m_block.size(); }
    qsizetype Used() const { return m_used; }
    // The block, of its full capacity; the buffer is empty afterwards.
    QByteArray Take();

private:
    QByteArray m_block;
    qsizetype m_used = 0;
};

class TZvComPacket {
public:
    std::uint32_t PacketId() const { return m_packetId; }
    qsizetype ValueCount() const { return static_cast<qsizetype>(m_values.size()); }
    // The sum of the encoded sizes of the values.
    std::uint32_t ValuesLength() const { return m_valuesLength; }

protected:
    std::vector<TZvComValue> m_values;
    std::uint32_t m_valuesLength = 0;
    std::uint32_t m_packetId = 0;
};

class TZvComEncodePacket : public TZvComPacket {
public:
    // Takes the next process-wide packet id and appends the verb (a null String when empty).
    explicit TZvComEncodePacket(const QString &verb);

    QString Verb() const { return m_verb; }

    void AddValue(TZvComValue value);
    void AddNull(int code);
    // With encrypt, the value's payload travels RC4-enciphered (bit 6 set).
    void AddInteger(qint32 value, bool encrypt = false);
    void AddCardinal(quint32 value, bool encrypt = false);
    // An empty text appends a null String.
    void AddString(const QString &text, bool encrypt = false);
    void AddBinary(const QByteArray &bytes, bool encrypt = false);

    // The packet's bytes; with encrypt, padded and enciphered under the session key.
    QByteArray Build(bool encrypt, const TZvComSessionKey &sessionKey) const;

    // The id the next packet created will take (for tests and peers that must predict it).
    static std::uint32_t PeekNextPacketId();

private:
    QString m_verb;
};

class TZvComTable;

class TZvComDecodePacket : public TZvComPacket {
public:
    // Keeps the bytes (a shared copy); when encrypted, deciphers them with the session key and the
    // header's length and id, and strips the padding. Reads the id and the verb.
    TZvComDecodePacket(QByteArray bytes, const TZvComSessionKey &sessionKey, bool encrypted);
    // A plain packet.
    explicit TZvComDecodePacket(const QByteArray &bytes);
    ~TZvComDecodePacket();
    TZvComDecodePacket(const TZvComDecodePacket &) = delete;
    TZvComDecodePacket &operator=(const TZvComDecodePacket &) = delete;

    QString Verb() const { return m_verb; }

    // The next value, deciphered when flagged. None left: EZvComValueException
    // "Server data is null".
    TZvComValue NextValue(bool *wasEncrypted = nullptr);
    bool HasMoreValues();

    // True for the success status 'S'; false for 'E', whose following value becomes the error
    // text. Read once; later calls give the stored result.
    bool ReadStatus();
    QString ErrorText() const { return m_errorText; }

    // Typed readers: the next value must have the reader's code (else resource string 12022).
    qint32 ReadInteger(bool *wasEncrypted = nullptr);
    quint32 ReadCardinal(bool *wasEncrypted = nullptr);
    QString ReadString(bool *wasEncrypted = nullptr);
    QByteArray ReadBinary(bool *wasEncrypted = nullptr);
    // The table refers to this decoder and must not outlive it (or must adopt it).
    std::unique_ptr<TZvComTable> ReadTable();

private:
    friend class TZvComTable;
    void Decrypt(const TZvComSessionKey &sessionKey);
    // Parses the value at the read position; false at the end of the values.
    bool ParseNext(TZvComValue &value, bool borrow, bool *wasEncrypted);
    bool ParseAt(TZvComValue &value, bool borrow, bool *wasEncrypted, qsizetype &pos,
                 qsizetype &end);
    TZvComValue ReadTyped(int code, bool *wasEncrypted);

    QByteArray m_bytes;
    const std::uint8_t *m_data = nullptr; // m_bytes' storage, which this decoder keeps alive
    qsizetype m_position = ZvComHeaderSize;
    qsizetype m_end = ZvComHeaderSize;
    int m_field = -1; // the verb is read first; the values after it count from 0
    QString m_verb;
    bool m_statusRead = false;
    bool m_statusOk = false;
    QString m_errorText;
    std::optional<TSRC4Crypt> m_rc4; // made at the first flagged value
};

class TZvComTable {
public:
    struct TColumn {
        QString Name;
    };
    ~TZvComTable();
    TZvComTable(const TZvComTable &) = delete;
    TZvComTable &operator=(const TZvComTable &) = delete;

    // Moves the cursor to the next row; false when there is none.
    bool Next();
    // The value of a column in the current row; the name compares exactly.
    const TZvComValue &FieldByName(const QString &name) const;
    const TZvComValue &Field(int column) const;
    // -1 for a name that is not a column.
    int ColumnIndex(const QString &name) const;

    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    quint32 RowCount() const { return m_rowCount; }
    const TColumn &Column(int index) const { return m_columns.at(static_cast<size_t>(index)); }
    // The row the cursor is on, -1 before the first.
    qint64 RowIndex() const { return m_row; }

    // Keeps the decoder the table was read from alive as long as the table.
    void AdoptDecoder(std::unique_ptr<TZvComDecodePacket> decoder);

private:
    friend class TZvComDecodePacket;
    TZvComTable() = default;

    quint32 m_rowCount = 0;
    TZvComDecodePacket *m_decoder = nullptr;
    std::unique_ptr<TZvComDecodePacket> m_ownedDecoder;
    std::vector<TColumn> m_columns;
    std::vector<TZvComValue> m_cells;
    qint64 m_row = -1;
    std::size_t m_rowFirst = 0;
};

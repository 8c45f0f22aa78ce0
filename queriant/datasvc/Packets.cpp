// SPDX-License-Identifier: MIT
#include "Packets.h"

#include <atomic>
#include <cstring>
#include <optional>

namespace {

std::atomic<std::uint32_t> nextPacketId{1};

std::uint32_t readWord(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

[[noreturn]] void notEnoughData() {
    throw EZvComPacketException(QString::fromLatin1(SNotEnoughData));
}

[[noreturn]] void serverDataNull() {
    throw EZvComValueException(QString::fromLatin1(SServerDataNull));
}

bool hasBlock(int code) {
    return code == zvcString || code == zvcBinary;
}

// The cell storage of the last table freed on this thread, for the next table read: a large
// answer's cells would otherwise go back to the system and be faulted in again for the next
// one. Kept up to 65,536 cells (2.5 MB).
constexpr std::size_t KeptCells = 1 << 16;
thread_local std::vector<TZvComValue> keptCells;

} // namespace

// ---- TTransmitBuffer ----

TTransmitBuffer::TTransmitBuffer(qsizetype capacity) : m_block(capacity, '\0') {}

void TTransmitBuffer::Write(const void *bytes, qsizetype count) {
    if (count < 0 || count > m_block.size() - m_used)
        throw EZvComException(QStringLiteral("Memory Block too small"));
    if (count > 0)
        std::memcpy(Data() + m_used, bytes, static_cast<size_t>(count));
    m_used += count;
}

void TTransmitBuffer::WriteWord(std::uint32_t v) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>(v >> 24)};
    Write(bytes, 4);
}

QByteArray TTransmitBuffer::Take() {
    m_used = 0;
    return std::exchange(m_block, QByteArray());
}

// ---- TZvComEncodePacket ----

TZvComEncodePacket::TZvComEncodePacket(const QString &verb) : m_verb(verb) {
    m_packetId = nextPacketId.fetch_add(1, std::memory_order_relaxed);
    if (verb.isEmpty())
        AddNull(zvcString);
    else
        AddValue(TZvComString(verb));
}

std::uint32_t TZvComEncodePacket::PeekNextPacketId() {
    return nextPacketId.load(std::memory_order_relaxed);
}

void TZvComEncodePacket::AddValue(TZvComValue value) {
    m_valuesLength += value.EncodedSize();
    m_values.push_back(std::move(value));
}

void TZvComEncodePacket::AddNull(int code) {
    AddValue(TZvComValue::Null(code));
}

void TZvComEncodePacket::AddInteger(qint32 value, bool encrypt) {
    TZvComInteger32 v(value);
    v.SetEncrypted(encrypt);
    AddValue(v);
}

void TZvComEncodePacket::AddCardinal(quint32 value, bool encrypt) {
    TZvComUInteger32 v(value);
    v.SetEncrypted(encrypt);
    AddValue(v);
}

void TZvComEncodePacket::AddString(const QString &text, bool encrypt) {
    if (text.isEmpty()) {
        AddNull(zvcString);
        return;
    }
    TZvComString v(text);
    v.SetEncrypted(encrypt);
    AddValue(v);
}

void TZvComEncodePacket::AddBinary(const QByteArray &bytes, bool encrypt) {
    TZvComBinary v(bytes);
    v.SetEncrypted(encrypt);
    AddValue(v);
}

QByteArray TZvComEncodePacket::Build(bool encrypt, const TZvComSessionKey &sessionKey) const {
    const std::uint32_t pad =
        encrypt ? static_cast<std::uint32_t>(TCtrChain::PadCount(m_valuesLength)) : 0;
    const std::uint32_t total = ZvComHeaderSize + m_valuesLength + pad;
    TTransmitBuffer out(total);
    out.Write(ZvComMagic, 5);
    out.WriteWord(total);
    out.WriteWord(m_packetId);
    // One key stream per packet, running on from one flagged value to the next; set up at the
    // first flagged value, since most packets have none.
    std::optional<TSRC4Crypt> rc4;
    for (const TZvComValue &v : m_values) {
        out.WriteByte(v.TypeByte());
        if (v.IsNull())
            continue;
        if (hasBlock(v.Code()))
            out.WriteWord(v.PayloadLength());
        const qsizetype at = out.Used();
        out.Write(v.PayloadBytes(), v.PayloadLength());
        if (v.IsEncrypted())
            (rc4 ? *rc4 : rc4.emplace()).Crypt(out.Data() + at, v.PayloadLength());
    }
    if (encrypt) {
        TCtrChain::FillPad(out.Data() + out.Used(), static_cast<int>(pad));
        TCtrChain chain(sessionKey, total, m_packetId);
        std::uint8_t *body = out.Data() + ZvComHeaderSize;
        chain.Encrypt(body, body, m_valuesLength + pad);
    }
    return out.Take();
}

// ---- TZvComDecodePacket ----

TZvComDecodePacket::TZvComDecodePacket(const QByteArray &bytes)
    : TZvComDecodePacket(bytes, {}, false) {}

TZvComDecodePacket::TZvComDecodePacket(QByteArray bytes, const TZvComSessionKey &sessionKey,
                                       bool encrypted)
    : m_bytes(std::move(bytes)) {
    // The bytes are shared with the caller and never written, but for deciphering a whole
    // packet, which takes a copy of its own first.
    if (m_bytes.capacity() < m_bytes.size())
        m_bytes.detach(); // raw data the caller may free: take a real copy
    if (m_bytes.size() < ZvComHeaderSize)
        notEnoughData();
    if (encrypted)
        Decrypt(sessionKey);
    m_data = reinterpret_cast<const std::uint8_t *>(m_bytes.constData());
    m_packetId = readWord(m_data + 9);
    m_end = encrypted ? m_end : m_bytes.size();
    m_valuesLength = static_cast<std::uint32_t>(m_end - ZvComHeaderSize);
    const TZvComValue verb = ReadTyped(zvcString, nullptr);
    m_verb = verb.IsNull() ? QString() : verb.AsString();
}

TZvComDecodePacket::~TZvComDecodePacket() = default;

void TZvComDecodePacket::Decrypt(const TZvComSessionKey &sessionKey) {
    m_bytes.detach();
    auto *data = reinterpret_cast<std::uint8_t *>(m_bytes.data());
    const qsizetype body = m_bytes.size() - ZvComHeaderSize;
    if (body == 0)
        notEnoughData();
    TCtrChain chain(sessionKey, readWord(data + 5), readWord(data + 9));
    chain.Decrypt(data + ZvComHeaderSize, data + ZvComHeaderSize, static_cast<std::size_t>(body));
    // A pad count the sender cannot have written would end the values outside the body.
    const int pad = data[m_bytes.size() - 1];
    if (pad < 1 || pad > 16 || pad > body)
        throw EZvComPacketException(QStringLiteral("Malformed padding in response"));
    m_end = m_bytes.size() - pad;
}

// One value at pos, which advances past it; false at the end of the values (end moves to a
// type code that is not a value). Works on the caller's copies of the position and end, so
// that the table's loop keeps them in registers; forced inline, since a call per cell costs
// more than the parse itself.
[[gnu::always_inline]] inline bool TZvComDecodePacket::ParseAt(TZvComValue &value, bool borrow,
                                                               bool *wasEncrypted, qsizetype &pos,
                                                               qsizetype &end) {
    if (pos >= end)
        return false;
    const std::uint8_t *at = m_data + pos;
    const std::uint8_t type = at[0];
    const int code = type & ZvComCodeMask;
    if (code > ZvComLastCode) {
        end = pos;
        return false;
    }
    if ((type & ZvComNullFlag) || code == zvcNone) {
        value.SetWire(type, nullptr, 0, false);
        ++pos;
        return true;
    }
    const qsizetype remaining = end - pos - 1;
    const int fixed = ZvComFixedSizes[code];
    if (remaining < fixed)
        notEnoughData();
    const std::uint8_t *payload = at + 1;
    std::uint32_t length = static_cast<std::uint32_t>(fixed);
    qsizetype size = 1 + fixed;
    if (hasBlock(code)) {
        length = readWord(at + 1);
        if (static_cast<std::uint64_t>(length) > static_cast<std::uint64_t>(remaining - 4))
            notEnoughData();
        payload = at + 5;
        size = 5 + static_cast<qsizetype>(length);
    }
    if (type & ZvComEncryptedFlag) {
        // Deciphered in the value's own copy: the packet's bytes stay as they came.
        value.SetWire(type & static_cast<std::uint8_t>(~ZvComEncryptedFlag), payload, length,
                      false);
        (m_rc4 ? *m_rc4 : m_rc4.emplace()).Crypt(value.OwnPayload(), length);
        if (wasEncrypted)
            *wasEncrypted = true;
    } else {
        value.SetWire(type, payload, length, borrow);
    }
    pos += size;
    return true;
}

bool TZvComDecodePacket::ParseNext(TZvComValue &value, bool borrow, bool *wasEncrypted) {
    if (wasEncrypted)
        *wasEncrypted = false;
    if (!ParseAt(value, borrow, wasEncrypted, m_position, m_end))
        return false;
    ++m_field;
    return true;
}

TZvComValue TZvComDecodePacket::ReadTyped(int code, bool *wasEncrypted) {
    const int field = m_field;
    TZvComValue v;
    if (!ParseNext(v, false, wasEncrypted))
        serverDataNull();
    if (v.Code() != code)
        throw EZvComPacketException(ZvComTypeErrorText(code, v.Code(), field));
    return v;
}

TZvComValue TZvComDecodePacket::NextValue(bool *wasEncrypted) {
    TZvComValue v;
    if (!ParseNext(v, false, wasEncrypted))
        serverDataNull();
    return v;
}

bool TZvComDecodePacket::HasMoreValues() {
    if (m_position >= m_end)
        return false;
    if ((static_cast<std::uint8_t>(m_bytes.at(m_position)) & ZvComCodeMask) > ZvComLastCode) {
        m_end = m_position;
        return false;
    }
    return true;
}

bool TZvComDecodePacket::ReadStatus() {
    if (m_statusRead)
        return m_statusOk;
    TZvComValue status;
    if (!ParseNext(status, false, nullptr) || status.Code() != zvcInteger8 || status.IsNull())
        notEnoughData();
    const char c = static_cast<char>(status.AsInteger8());
    if (c == 'S') {
        m_statusOk = true;
    } else if (c == 'E') {
        TZvComValue text;
        if (ParseNext(text, false, nullptr))
            m_errorText = text.AsText();
    } else {
        notEnoughData();
    }
    m_statusRead = true;
    return m_statusOk;
}

qint32 TZvComDecodePacket::ReadInteger(bool *wasEncrypted) {
    const TZvComValue v = ReadTyped(zvcInteger32, wasEncrypted);
    return v.IsNull() ? 0 : v.AsInteger();
}

quint32 TZvComDecodePacket::ReadCardinal(bool *wasEncrypted) {
    const TZvComValue v = ReadTyped(zvcUInteger32, wasEncrypted);
    return v.IsNull() ? 0 : v.AsCardinal();
}

QString TZvComDecodePacket::ReadString(bool *wasEncrypted) {
    const TZvComValue v = ReadTyped(zvcString, wasEncrypted);
    return v.IsNull() ? QString() : v.AsString();
}

QByteArray TZvComDecodePacket::ReadBinary(bool *wasEncrypted) {
    const TZvComValue v = ReadTyped(zvcBinary, wasEncrypted);
    return v.IsNull() ? QByteArray() : v.AsBinary();
}

std::unique_ptr<TZvComTable> TZvComDecodePacket::ReadTable() {
    std::unique_ptr<TZvComTable> table(new TZvComTable);
    table->m_decoder = this;
    const TZvComValue start = ReadTyped(zvcTableStart, nullptr);
    const quint32 columns = start.IsNull() ? 0 : start.AsCount();

    const int rowField = m_field;
    bool rowsFlagged = false;
    const TZvComValue rows = ReadTyped(zvcUInteger32, &rowsFlagged);
    if (rowsFlagged)
        throw EZvComPacketException(ZvComTypeErrorText(zvcUInteger32, rows.Code(), rowField));
    table->m_rowCount = rows.IsNull() ? 0 : rows.AsCardinal();
    // Rows of no columns take no bytes: nothing in the packet backs their count, and a reader
    // stepping through them would spin for up to four billion rows.
    if (columns == 0 && table->m_rowCount != 0)
        throw EZvComPacketException(
            QStringLiteral("Table of no columns cannot hold %1 rows").arg(table->m_rowCount));

    // Every value takes at least one byte, so what is left bounds what can be reserved.
    const auto left = static_cast<std::uint64_t>(m_end - m_position);
    table->m_columns.reserve(static_cast<size_t>(std::min<std::uint64_t>(columns, left)));
    for (quint32 c = 0; c < columns; ++c) {
        TZvComValue name;
        if (!ParseNext(name, false, nullptr))
            serverDataNull();
        table->m_columns.push_back({name.AsText()});
    }
    const std::uint64_t cells = static_cast<std::uint64_t>(table->m_rowCount) * columns;
    table->m_cells.swap(keptCells);
    table->m_cells.reserve(static_cast<size_t>(
        std::min<std::uint64_t>(cells, static_cast<std::uint64_t>(m_end - m_position))));
    qsizetype pos = m_position, end = m_end;
    for (std::uint64_t k = 0; k < cells; ++k) {
        TZvComValue &cell = table->m_cells.emplace_back();
        if (!ParseAt(cell, true, nullptr, pos, end)) {
            m_position = pos;
            m_end = end;
            serverDataNull();
        }
    }
    m_position = pos;
    m_end = end;
    m_field += static_cast<int>(cells);
    return table;
}

// ---- TZvComTable ----

TZvComTable::~TZvComTable() {
    m_cells.clear();
    if (m_cells.capacity() <= KeptCells && m_cells.capacity() > keptCells.capacity())
        keptCells.swap(m_cells);
}

bool TZvComTable::Next() {
    if (m_row + 1 >= static_cast<qint64>(m_rowCount))
        return false;
    ++m_row;
    m_rowFirst = static_cast<std::size_t>(m_row) * m_columns.size();
    return true;
}

int TZvComTable::ColumnIndex(const QString &name) const {
    for (size_t k = 0; k < m_columns.size(); ++k)
        if (m_columns[k].Name == name)
            return static_cast<int>(k);
    return -1;
}

const TZvComValue &TZvComTable::FieldByName(const QString &name) const {
    const int column = ColumnIndex(name);
    if (column < 0)
        throw EZvComValueException(QStringLiteral("Cannot find column ") + name +
                                   QStringLiteral(" in table"));
    return Field(column);
}

const TZvComValue &TZvComTable::Field(int column) const {
    if (m_row < 0 || m_row >= static_cast<qint64>(m_rowCount) || column < 0 ||
        column >= ColumnCount())
        serverDataNull();
    return m_cells[m_rowFirst + static_cast<size_t>(column)];
}

void TZvComTable::AdoptDecoder(std::unique_ptr<TZvComDecodePacket> decoder) {
    m_decoder = decoder.get();
    m_ownedDecoder = std::move(decoder);
}

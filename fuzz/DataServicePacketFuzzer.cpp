// SPDX-License-Identifier: MIT
// A data-service packet as a database server might send it: decoded plain or under the session
// key, every value read in turn (flagged values deciphered in order), or the status and a
// result table read row by row. Decoding never reads past the bytes.
//
// Input: one mode byte, then the packet. Mode bit 0: the bytes after the header are enciphered
// under the fixed key (with the header's length and id) before decoding, so the plain packet
// behind the cipher is the fuzzer's. Bit 1: status and table instead of single values.
#include "FuzzSupport.h"

#include "Packets.h"

#include <QtEndian>

namespace {

const TZvComSessionKey Key = {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78,
                              0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0};

void Encipher(QByteArray &packet) {
    const qsizetype body = (packet.size() - ZvComHeaderSize) / 16 * 16;
    packet.truncate(ZvComHeaderSize + body);
    auto *data = reinterpret_cast<std::uint8_t *>(packet.data());
    TCtrChain chain(Key, qFromLittleEndian<quint32>(data + 5),
                    qFromLittleEndian<quint32>(data + 9));
    chain.Encrypt(data + ZvComHeaderSize, data + ZvComHeaderSize, std::size_t(body));
}

void ReadValues(TZvComDecodePacket &decoder) {
    for (int n = 0; n < 100000 && decoder.HasMoreValues(); ++n) {
        const TZvComValue value = decoder.NextValue();
        fuzz::Check(value.Code() >= 0 && value.Code() <= ZvComLastCode, "value of an unknown code");
        (void)value.AsText();
    }
}

void ReadTable(TZvComDecodePacket &decoder) {
    if (!decoder.ReadStatus())
        return;
    const std::unique_ptr<TZvComTable> table = decoder.ReadTable();
    // Every row takes bytes (a table of no columns must claim none), so all of them are read.
    for (quint32 row = 0; table->Next(); ++row) {
        fuzz::Check(row < table->RowCount(), "more rows than the table holds");
        for (int c = 0; c < table->ColumnCount(); ++c) {
            (void)table->Field(c).AsText();
            fuzz::Check(table->ColumnIndex(table->Column(c).Name) <= c, "column not found by name");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::TInput input(data, size);
    const std::uint8_t mode = input.Byte();
    QByteArray packet = input.Rest();
    const bool encrypted = mode & 1;
    if (encrypted && packet.size() > ZvComHeaderSize)
        Encipher(packet);
    try {
        TZvComDecodePacket decoder(packet, Key, encrypted);
        (void)decoder.Verb();
        if (mode & 2)
            ReadTable(decoder);
        else
            ReadValues(decoder);
    } catch (const zv::ZvError &) {
    }
    return 0;
}

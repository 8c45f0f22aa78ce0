// SPDX-License-Identifier: MIT
// Data-service packets built and decoded again, plain and encrypted, with values flagged for
// RC4 among plain ones: the verb and every value come back as they went, in order.
//
// Input: one mode byte (bit 0: the packet is encrypted), the verb up to a 0x00 byte, then
// values, each an operation byte (kind in the low bits, bit 7: flagged) and its bytes.
#include "FuzzSupport.h"

#include "Packets.h"

#include <QtEndian>

#include <variant>
#include <vector>

namespace {

const TZvComSessionKey Key = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                              0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00};

struct TSent {
    int Kind = 0; // 0 integer, 1 cardinal, 2 string, 3 binary, 4 null
    bool Flagged = false;
    qint64 Number = 0;
    QString Text;
    QByteArray Bytes;
    int NullCode = 0;
};

quint32 Word(fuzz::TInput &input) {
    quint32 w = 0;
    for (int k = 0; k < 4; ++k)
        w |= quint32(input.Byte()) << (8 * k);
    return w;
}

QByteArray Block(fuzz::TInput &input) {
    const int length = input.Byte();
    QByteArray bytes;
    for (int k = 0; k < length && !input.AtEnd(); ++k)
        bytes.append(char(input.Byte()));
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::TInput input(data, size);
    const bool encrypted = input.Byte() & 1;
    QString verb = QString::fromUtf8(input.Piece('\0'));
    TZvComEncodePacket packet(verb);
    std::vector<TSent> sent;
    while (!input.AtEnd() && sent.size() < 200) {
        const std::uint8_t op = input.Byte();
        TSent s;
        s.Kind = (op & 0x7F) % 5;
        s.Flagged = op & 0x80;
        switch (s.Kind) {
        case 0:
            s.Number = qint32(Word(input));
            packet.AddInteger(qint32(s.Number), s.Flagged);
            break;
        case 1:
            s.Number = Word(input);
            packet.AddCardinal(quint32(s.Number), s.Flagged);
            break;
        case 2:
            // A string travels up to its first zero byte.
            s.Text = QString::fromUtf8(Block(input).replace('\0', ""));
            packet.AddString(s.Text, s.Flagged);
            break;
        case 3:
            s.Bytes = Block(input);
            packet.AddBinary(s.Bytes, s.Flagged);
            break;
        default:
            s.NullCode = input.Byte() % (ZvComLastCode + 1);
            packet.AddNull(s.NullCode);
            break;
        }
        sent.push_back(s);
    }

    const QByteArray bytes = packet.Build(encrypted, Key);
    fuzz::Check(bytes.startsWith(ZvComMagic), "packet without its magic");
    fuzz::Check(qFromLittleEndian<quint32>(bytes.constData() + 5) == quint32(bytes.size()),
                "length field differs from the size");
    if (encrypted)
        fuzz::Check((bytes.size() - ZvComHeaderSize) % 16 == 0, "body not whole blocks");

    TZvComDecodePacket decoder(bytes, Key, encrypted);
    fuzz::Check(decoder.PacketId() == packet.PacketId(), "packet id differs");
    fuzz::Check(decoder.Verb() == verb, "verb differs", verb.toUtf8());
    for (const TSent &s : sent) {
        bool flagged = false;
        switch (s.Kind) {
        case 0:
            fuzz::Check(decoder.ReadInteger(&flagged) == s.Number, "integer differs");
            break;
        case 1:
            fuzz::Check(decoder.ReadCardinal(&flagged) == quint32(s.Number), "cardinal differs");
            break;
        case 2: {
            const TZvComValue v = decoder.NextValue(&flagged);
            fuzz::Check(v.Code() == zvcString, "string comes back as another type");
            fuzz::Check((v.IsNull() ? QString() : v.AsString()) == s.Text, "string differs",
                        s.Text.toUtf8());
            break;
        }
        case 3: {
            const TZvComValue v = decoder.NextValue(&flagged);
            fuzz::Check(v.Code() == zvcBinary, "binary comes back as another type");
            fuzz::Check((v.IsNull() ? QByteArray() : v.AsBinary()) == s.Bytes, "binary differs",
                        s.Bytes);
            break;
        }
        default: {
            const TZvComValue v = decoder.NextValue(&flagged);
            fuzz::Check(v.IsNull() && v.Code() == s.NullCode, "null value differs");
            break;
        }
        }
        if (s.Kind != 4 && !(s.Kind == 2 && s.Text.isEmpty()) &&
            !(s.Kind == 3 && s.Bytes.isEmpty()))
            fuzz::Check(flagged == s.Flagged, "RC4 flag differs");
    }
    fuzz::Check(!decoder.HasMoreValues(), "values beyond those sent");
    return 0;
}

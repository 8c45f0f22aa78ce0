// SPDX-License-Identifier: MIT
#include "Packets.h"
#include "TestSupport.h"
#include "WireBytes.h"

#include <gtest/gtest.h>

#include <functional>

using namespace wire;

namespace {

const TZvComSessionKey Key = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                              0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

QByteArray serverListPlain(std::uint32_t id) {
    return QByteArray("ZVCOM") + word(34) + word(id) + str("ServerList") + fixed(0x06, 1);
}

TEST(ZvComEncodePacket, ServerListWithCardinalOneIs34PlainBytes) {
    TZvComEncodePacket p(QStringLiteral("ServerList"));
    p.AddCardinal(1);
    const QByteArray bytes = p.Build(false, Key);
    EXPECT_EQ(bytes, serverListPlain(p.PacketId()));
}

TEST(ZvComEncodePacket, EncryptedServerListIs45BytesWithElevenPadBytesOfEleven) {
    TZvComEncodePacket p(QStringLiteral("ServerList"));
    p.AddCardinal(1);
    QByteArray bytes = p.Build(true, Key);
    ASSERT_EQ(bytes.size(), 45);
    EXPECT_EQ(bytes.left(13), QByteArray("ZVCOM") + word(45) + word(p.PacketId()));
    // The body deciphers with the chain keyed from the header's two words.
    auto *body = reinterpret_cast<std::uint8_t *>(bytes.data()) + 13;
    TCtrChain(Key, 45, p.PacketId()).Decrypt(body, body, 32);
    EXPECT_EQ(bytes.mid(13), str("ServerList") + fixed(0x06, 1) + QByteArray(11, '\x0B'));

    TZvComDecodePacket d(p.Build(true, Key), Key, true);
    EXPECT_EQ(d.Verb(), QStringLiteral("ServerList"));
    EXPECT_EQ(d.ReadCardinal(), 1u);
    EXPECT_FALSE(d.HasMoreValues());
}

TEST(ZvComEncodePacket, EmptyTextTravelsAsOneNullStringByte) {
    TZvComEncodePacket p(QStringLiteral("V"));
    p.AddString(QString());
    EXPECT_EQ(p.Build(false, Key).mid(13), str("V") + QByteArray("\x8A"));
    TZvComEncodePacket empty{QString()};
    EXPECT_EQ(empty.Build(false, Key).mid(13), QByteArray("\x8A"));
}

TEST(ZvComEncodePacket, PacketIdsRiseByOneForEveryPacketCreated) {
    const std::uint32_t next = TZvComEncodePacket::PeekNextPacketId();
    TZvComEncodePacket a(QStringLiteral("A"));
    TZvComEncodePacket b(QStringLiteral("B"));
    EXPECT_EQ(a.PacketId(), next);
    EXPECT_EQ(b.PacketId(), next + 1);
}

TEST(ZvComEncodePacket, FlaggedValuesShareOneKeyStreamInValueOrder) {
    TZvComEncodePacket p(QStringLiteral("CONNECT"));
    p.AddString(QStringLiteral("host"), true);
    p.AddInteger(123456, true);
    p.AddBinary(QByteArray("\x00\x01\x02", 3), true);
    p.AddString(QStringLiteral("plain"));
    const QByteArray bytes = p.Build(false, Key);

    // Type bytes carry bit 6; the payloads are one RC4 stream with the default key.
    QByteArray stream = QByteArray("host", 5) + word(123456) + QByteArray("\x00\x01\x02", 3);
    TSRC4Crypt().Crypt(stream.data(), static_cast<size_t>(stream.size()));
    const QByteArray expected = str("CONNECT") + QByteArray("\x4A") + word(5) + stream.left(5) +
                                QByteArray("\x45") + stream.mid(5, 4) + QByteArray("\x4B") +
                                word(3) + stream.mid(9) + str("plain");
    EXPECT_EQ(bytes.mid(13), expected);

    TZvComDecodePacket d(bytes);
    bool flagged = false;
    EXPECT_EQ(d.ReadString(&flagged), QStringLiteral("host"));
    EXPECT_TRUE(flagged);
    EXPECT_EQ(d.ReadInteger(&flagged), 123456);
    EXPECT_TRUE(flagged);
    EXPECT_EQ(d.ReadBinary(&flagged), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(d.ReadString(&flagged), QStringLiteral("plain"));
    EXPECT_FALSE(flagged);
}

TEST(ZvComDecodePacket, FlaggedValuesSwappedOnTheWireDoNotDecipherToTheOriginals) {
    TZvComEncodePacket p(QStringLiteral("V"));
    p.AddString(QStringLiteral("first"), true);
    p.AddString(QStringLiteral("second"), true);
    const QByteArray bytes = p.Build(false, Key);
    const QByteArray first = bytes.mid(13 + 7, 11), second = bytes.mid(13 + 18, 12);
    TZvComDecodePacket d(bytes.left(13) + bytes.mid(13, 7) + second + first);
    EXPECT_NE(d.ReadString(), QStringLiteral("second"));
    EXPECT_NE(d.ReadString(), QStringLiteral("first"));
}

QByteArray tableValues(std::uint32_t rows) {
    QByteArray v = str("SpoolqList") + status('S') + fixed(0x0D, 2) + fixed(0x06, rows) +
                   str("server") + str("spoolq");
    for (std::uint32_t r = 0; r < rows; ++r)
        v += str("srv" + QByteArray::number(r)) + str("queue" + QByteArray::number(r));
    return v;
}

TEST(ZvComDecodePacket, TableRowsByNameAndIndex) {
    TZvComDecodePacket d(packet(tableValues(2)));
    ASSERT_TRUE(d.ReadStatus());
    auto table = d.ReadTable();
    ASSERT_EQ(table->ColumnCount(), 2);
    EXPECT_EQ(table->Column(1).Name, QStringLiteral("spoolq"));
    EXPECT_EQ(table->RowCount(), 2u);
    ASSERT_TRUE(table->Next());
    EXPECT_EQ(table->FieldByName(QStringLiteral("server")).AsText(), QStringLiteral("srv0"));
    ASSERT_TRUE(table->Next());
    EXPECT_EQ(table->Field(1).AsString(), QStringLiteral("queue1"));
    EXPECT_FALSE(table->Next());
    try {
        (void)table->FieldByName(QStringLiteral("Server"));
        ADD_FAILURE() << "column names compare exactly";
    } catch (const EZvComValueException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot find column Server in table"));
    }
}

// Flagged cells are deciphered in stream order among plain ones; every row gives back what
// was sent, in its place, also in storage left by an earlier table.
TEST(ZvComDecodePacket, TableMixingFlaggedAndPlainCellsReadsBackRowByRow) {
    const struct {
        const char *server;
        bool serverFlagged;
        const char *queue;
        bool queueFlagged;
    } rows[] = {{"srv0", false, "q0", true},
                {"srv1", true, "q1", false},
                {"srv2", true, "q2", true},
                {"srv3", false, "q3", false}};
    TZvComEncodePacket p(QStringLiteral("SpoolqList"));
    p.AddValue(TZvComInteger8('S'));
    p.AddValue(TZvComTableStart(2));
    p.AddCardinal(std::size(rows));
    p.AddString(QStringLiteral("server"));
    p.AddString(QStringLiteral("spoolq"));
    for (const auto &r : rows) {
        p.AddString(QString::fromLatin1(r.server), r.serverFlagged);
        p.AddString(QString::fromLatin1(r.queue), r.queueFlagged);
    }
    const QByteArray bytes = p.Build(true, Key);
    for (int round = 0; round < 2; ++round) {
        TZvComDecodePacket d(bytes, Key, true);
        ASSERT_TRUE(d.ReadStatus());
        auto table = d.ReadTable();
        for (const auto &r : rows) {
            ASSERT_TRUE(table->Next());
            const TZvComValue &server = table->FieldByName(QStringLiteral("server"));
            const TZvComValue &queue = table->Field(1);
            EXPECT_EQ(server.AsString(), QLatin1String(r.server)) << "round " << round;
            EXPECT_EQ(queue.AsString(), QLatin1String(r.queue)) << "round " << round;
            EXPECT_FALSE(server.IsEncrypted());
            EXPECT_FALSE(queue.IsEncrypted());
        }
        EXPECT_FALSE(table->Next());
    }
}

TEST(ZvComDecodePacket, TableOfNoRowsHasItsColumnsAndNoFirstRow) {
    TZvComDecodePacket d(packet(tableValues(0)));
    d.ReadStatus();
    auto table = d.ReadTable();
    EXPECT_EQ(table->ColumnCount(), 2);
    EXPECT_EQ(table->Column(0).Name, QStringLiteral("server"));
    EXPECT_FALSE(table->Next());
}

TEST(ZvComDecodePacket, ErrorStatusTakesTheNextValueAsTextOnce) {
    TZvComDecodePacket d(packet(str("ServerList") + status('E') + str("No such service")));
    EXPECT_FALSE(d.ReadStatus());
    EXPECT_EQ(d.ErrorText(), QStringLiteral("No such service"));
    EXPECT_FALSE(d.ReadStatus());
    EXPECT_FALSE(d.HasMoreValues());
}

TEST(ZvComDecodePacket, HeaderGivesIdAndFirstValueGivesVerb) {
    TZvComDecodePacket d(packet(str("AUTHENTICATE") + fixed(0x05, 42), 0x01020304));
    EXPECT_EQ(d.PacketId(), 0x01020304u);
    EXPECT_EQ(d.Verb(), QStringLiteral("AUTHENTICATE"));
    EXPECT_EQ(d.ReadInteger(), 42);
}

// Malformed input: every case gives the library's exception text, never a read past the bytes.
struct BadCase {
    const char *name;
    QByteArray bytes;
    std::function<void(TZvComDecodePacket &)> read;
    const char *message;
};

void readAll(TZvComDecodePacket &d) {
    for (;;)
        d.NextValue();
}
void readTable(TZvComDecodePacket &d) {
    d.ReadStatus();
    d.ReadTable();
}

const QByteArray TypeErrorField0 =
    "Incorrect data type in decode packet. Expected String, received 32-Bit Integer. Field: 0";

std::vector<BadCase> badCases() {
    return {
        {"shorter than the header", QByteArray("ZVCOM\x10\0\0", 8), nullptr,
         "There is not enough data in the decode packet"},
        {"no verb", packet(QByteArray()), nullptr, "Server data is null"},
        {"verb not a string", packet(fixed(0x05, 1)), nullptr,
         "Incorrect data type in decode packet. Expected String, received 32-Bit Integer. "
         "Field: -1"},
        {"string length word cut", packet(str("V") + QByteArray("\x0A\x01\x00", 3)), readAll,
         "There is not enough data in the decode packet"},
        {"huge binary length", packet(str("V") + QByteArray("\x0B\xFF\xFF\xFF\xFF", 5) + "xyz"),
         readAll, "There is not enough data in the decode packet"},
        {"integer cut short", packet(str("V") + QByteArray("\x05\x01\x02", 3)), readAll,
         "There is not enough data in the decode packet"},
        {"double cut short", packet(str("V") + QByteArray("\x08\x01\x02\x03\x04", 5)), readAll,
         "There is not enough data in the decode packet"},
        {"type code above 13 ends the values", packet(str("V") + fixed(0x06, 1) + "\x0E\x01"),
         readAll, "Server data is null"},
        {"integer read as string", packet(str("V") + fixed(0x05, 9)),
         [](TZvComDecodePacket &d) { d.ReadString(); }, TypeErrorField0.constData()},
        {"status missing", packet(str("V")), [](TZvComDecodePacket &d) { d.ReadStatus(); },
         "There is not enough data in the decode packet"},
        {"status of another type", packet(str("V") + fixed(0x02, 'S', 1)),
         [](TZvComDecodePacket &d) { d.ReadStatus(); },
         "There is not enough data in the decode packet"},
        {"status neither S nor E", packet(str("V") + status('X')),
         [](TZvComDecodePacket &d) { d.ReadStatus(); },
         "There is not enough data in the decode packet"},
        {"table row count flagged",
         packet(str("V") + status('S') + fixed(0x0D, 1) + fixed(0x46, 1) + str("c") + str("x")),
         readTable,
         "Incorrect data type in decode packet. Expected 32-Bit Unsigned Integer, received "
         "32-Bit Unsigned Integer. Field: 2"},
        {"table cells run out",
         packet(str("V") + status('S') + fixed(0x0D, 2) + fixed(0x06, 2) + str("a") + str("b") +
                str("1") + str("2") + str("3")),
         readTable, "Server data is null"},
        {"table of a billion rows",
         packet(str("V") + status('S') + fixed(0x0D, 2) + fixed(0x06, 0x40000000) + str("a") +
                str("b") + str("1")),
         readTable, "Server data is null"},
        {"table of no columns claiming rows",
         packet(str("V") + status('S') + fixed(0x0D, 0) + fixed(0x06, 0xFFFFFFFF)), readTable,
         "Table of no columns cannot hold 4294967295 rows"},
        {"table cell cut short",
         packet(str("V") + status('S') + fixed(0x0D, 1) + fixed(0x06, 1) + str("a") +
                QByteArray("\x0A\x09\x00\x00\x00xy", 7)),
         readTable, "There is not enough data in the decode packet"},
        {"table without a table start", packet(str("V") + status('S') + fixed(0x06, 1)), readTable,
         "Incorrect data type in decode packet. Expected Table, received 32-Bit Unsigned "
         "Integer. Field: 1"},
    };
}

TEST(ZvComDecodePacket, MalformedPacketsFailWithTheLibraryTexts) {
    for (const BadCase &c : badCases()) {
        try {
            TZvComDecodePacket d(c.bytes);
            if (c.read)
                c.read(d);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const EZvComException &e) {
            if (c.message) {
                EXPECT_EQ(e.message(), QString::fromLatin1(c.message)) << c.name;
            }
        }
    }
}

TEST(ZvComDecodePacket, StringLengthBeyondThePacketIsNotEnoughData) {
    TZvComDecodePacket d(packet(str("V") + QByteArray("\x0A\x10\x00\x00\x00", 5) + "abc"));
    try {
        d.NextValue();
        ADD_FAILURE();
    } catch (const EZvComPacketException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("There is not enough data in the decode packet"));
    }
}

TEST(ZvComDecodePacket, EveryTruncationOfAResponseFailsCleanly) {
    const QByteArray whole = packet(tableValues(3));
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        try {
            TZvComDecodePacket d(whole.left(cut));
            readTable(d);
            ADD_FAILURE() << "cut at " << cut;
        } catch (const EZvComException &) {
        }
    }
    TZvComDecodePacket d(whole);
    EXPECT_NO_THROW(readTable(d));
}

TEST(ZvComDecodePacket, EncryptedPacketsWithBadPaddingOrNoBodyAreRefused) {
    TZvComEncodePacket p(QStringLiteral("ServerList"));
    p.AddCardinal(1);
    const QByteArray bytes = p.Build(true, Key);
    TZvComSessionKey wrong = Key;
    wrong[0] ^= 1;
    const struct {
        const char *name;
        QByteArray bytes;
        TZvComSessionKey key;
    } cases[] = {
        {"header only", bytes.left(13), Key},
        {"wrong key", bytes, wrong},
        {"one block missing", bytes.left(29), Key},
    };
    for (const auto &c : cases) {
        try {
            TZvComDecodePacket d(c.bytes, c.key, true);
            readAll(d);
            ADD_FAILURE() << c.name;
        } catch (const EZvComException &) {
        }
    }
}

TEST(ZvComDecodePacket, FiveMegabytePacketDecodes) {
    const QByteArray big(5 * 1024 * 1024, 'z');
    TZvComEncodePacket p(QStringLiteral("Blob"));
    p.AddBinary(big);
    const QByteArray bytes = p.Build(true, Key);
    TZvComDecodePacket d(bytes, Key, true);
    EXPECT_EQ(d.ReadBinary(), big);
}

TEST(TTransmitBuffer, WritingPastTheCapacityFails) {
    TTransmitBuffer b(4);
    b.WriteWord(1);
    try {
        b.WriteByte(0);
        ADD_FAILURE();
    } catch (const EZvComException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Memory Block too small"));
    }
}

} // namespace

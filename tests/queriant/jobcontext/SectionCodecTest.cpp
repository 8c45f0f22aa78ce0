// SPDX-License-Identifier: MIT
#include "SectionCodec.h"
#include "Fixtures.h"
#include "Rc4crypt.h"
#include "TestSupport.h"

#include <QtEndian>

#include <functional>

using jobtest::Int32;

namespace {

QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

QByteArray Decrypt(QByteArray block) {
    TSRC4Crypt(AnswerRecordKey, 16).Crypt(block.data(), size_t(block.size()));
    return block;
}

} // namespace

struct TextCase {
    const char *name;
    QByteArray bytes;
    QByteArray text;   // expected result of ReadText
    qsizetype nextPos; // cursor after the read
};

TEST(SectionReader, ReadsTextsByTheirFlag) {
    const TextCase cases[] = {
        {"present", Int32(1) + "abc" + '\0' + "x", "abc", 8},
        {"absent flag reads nothing more", Int32(0) + "abc", "", 4},
        {"any non-zero flag counts", Int32(-7) + "z" + '\0', "z", 6},
        {"present but empty", Int32(1) + '\0', "", 5},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        TSectionReader reader(c.bytes);
        EXPECT_EQ(reader.ReadText(), c.text);
        EXPECT_EQ(reader.Pos(), c.nextPos);
    }
}

TEST(SectionReader, ReadsNumbersLittleEndianAndUnaligned) {
    const QByteArray bytes = Hex("aa"
                                 "feffffff"
                                 "000000000000f83f"
                                 "0102");
    TSectionReader reader(bytes, 1);
    EXPECT_EQ(reader.ReadInteger(), -2);
    EXPECT_EQ(reader.ReadDouble(), 1.5);
    EXPECT_EQ(reader.ReadBytes(2), Hex("0102"));
    EXPECT_EQ(reader.Pos(), bytes.size());
}

TEST(SectionReader, ReadsWideTextAsUtf16Le) {
    const QByteArray bytes = Int32(1) +
                             Hex("41002a06"
                                 "3d d8 00 de"
                                 "0000") +
                             Int32(0);
    TSectionReader reader(bytes);
    EXPECT_EQ(reader.ReadWideText(), QStringLiteral("A\u062A\U0001F600"));
    EXPECT_EQ(reader.ReadWideText(), QString());
    EXPECT_EQ(reader.Pos(), bytes.size());
}

TEST(SectionReader, DamagedBytesFailInsteadOfReadingPastTheEnd) {
    struct Case {
        const char *name;
        QByteArray bytes;
        std::function<void(TSectionReader &)> read;
    } cases[] = {
        {"short integer", Hex("010203"), [](TSectionReader &r) { r.ReadInteger(); }},
        {"short real", Hex("01020304050607"), [](TSectionReader &r) { r.ReadDouble(); }},
        {"text without terminator", Int32(1) + "abc", [](TSectionReader &r) { r.ReadText(); }},
        {"wide text without terminator", Int32(1) + Hex("410042"),
         [](TSectionReader &r) { r.ReadWideText(); }},
        {"bytes beyond the end", Hex("0102"), [](TSectionReader &r) { r.ReadBytes(3); }},
        {"negative byte count", Hex("0102"), [](TSectionReader &r) { r.ReadBytes(-1); }},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        TSectionReader reader(c.bytes);
        try {
            c.read(reader);
            ADD_FAILURE() << "no error";
        } catch (const EMemMappedFileError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Read past the end of the memory file"));
        }
    }
}

TEST(SectionWriter, WritesWhatTheReaderReads) {
    QByteArray buffer(64, '\x55');
    TSectionWriter writer(buffer.data(), buffer.size());
    writer.WriteText("job");
    writer.WriteText("");
    writer.WriteWideText(QStringLiteral("\u00e9t\u00e9"));
    writer.WriteDouble(-0.25);
    writer.WriteInteger(123456);
    writer.WriteBytes("\x01\x00\x02", 3);
    EXPECT_EQ(buffer.first(writer.Pos()), Int32(1) + "job" + '\0' + Int32(0) + Int32(1) +
                                              Hex("e9007400e9000000") + Hex("000000000000d0bf") +
                                              Int32(123456) + Hex("010002"));
    EXPECT_EQ(buffer.at(writer.Pos()), '\x55');
}

TEST(SectionWriter, AValueThatDoesNotFitWritesNothing) {
    QByteArray buffer(10, '\x55');
    TSectionWriter writer(buffer.data(), buffer.size(), 2);
    EXPECT_THROW(writer.WriteText("abcd"), EMemMappedFileError); // needs 9 bytes, 8 left
    EXPECT_THROW(writer.WriteWideText(QStringLiteral("ab")), EMemMappedFileError);
    EXPECT_THROW(writer.WriteBytes("123456789", 9), EMemMappedFileError);
    EXPECT_EQ(buffer, QByteArray(10, '\x55'));
    EXPECT_EQ(writer.Pos(), 2);
    writer.WriteText("abc");
    EXPECT_EQ(writer.Pos(), 10);
}

TEST(AnswerRecord, WorkedExampleHasTheDocumentedHeaderAndBlock) {
    const QList<QByteArray> header{"abc", "fghij", "klmnopq", "7"};
    const QList<QByteArray> pairs{"StaticNotifyIP", "10.1.2.3:S4"};
    const QByteArray record = EncodeAnswerRecord(header, pairs, {});
    // A = 20, B = 27, C = 1, D = 48.
    ASSERT_EQ(record.size(), 36 + 48);
    EXPECT_EQ(record.first(36), Int32(80) + Hex("c0c1c2c3c4c5c6c7") + "0000048" + '\0' + "154" +
                                    '\0' + "00047" + '\0' + "00001" + '\0');
    EXPECT_EQ(Decrypt(record.sliced(36)), QByteArray("abc\0fghij\0klmnopq\0"
                                                     "7\0StaticNotifyIP\0"
                                                     "10.1.2.3:S4\0\0",
                                                     48));
}

TEST(AnswerRecord, KeyStreamIsTheFixedKeysFromItsFirstByte) {
    // RC4 under 3C71A9E04B8D2F56E1907AC4D25B8E13: the block of a record with only the trailer
    // "\0" is the first key-stream byte.
    QByteArray one(1, '\0');
    TSRC4Crypt(AnswerRecordKey, 16).Crypt(one.data(), 1);
    EXPECT_EQ(EncodeAnswerRecord({}, {}, {}).sliced(36), one);
    EXPECT_EQ(AnswerRecordKey[0], 0x3C);
    EXPECT_EQ(AnswerRecordKey[15], 0x13);
}

TEST(AnswerRecord, ABlockBeyondTheSectionIsRefused) {
    // Two header lines and the trailer: D = (n + 1) + 1 + 1.
    const qsizetype fits = MaxAnswerRecordData - 3;
    const QByteArray atLimit = EncodeAnswerRecord({QByteArray(fits, 'x'), ""}, {}, {});
    EXPECT_EQ(atLimit.size(), MemFileSize);
    EXPECT_EQ(atLimit.sliced(12, 7), "0016348");
    EXPECT_THROW(EncodeAnswerRecord({QByteArray(fits + 1, 'x'), ""}, {}, {}), EMemMappedFileError);
}

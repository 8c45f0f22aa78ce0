// SPDX-License-Identifier: MIT
#include "MemMappedFile.h"
#include "Fixtures.h"

#include <QtEndian>

using jobtest::CaptureLog;
using jobtest::TestSection;

using jobtest::Int32;
using jobtest::Text;

void PrintTo(const TJobDetails &d, std::ostream *os) {
    *os << QStringList{d.WorkStation,      d.OmbrelServer, d.SpoolQueue, d.UserName,
                       d.ReceivedUserName, d.Document,     d.PrinterName}
               .join('|')
               .toStdString()
        << '|' << d.NumPages;
}

class MemMappedFileTest : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    CaptureLog log;
};

TEST_F(MemMappedFileTest, ReadsJobDetailsAndKeepsWhatWasReadBeforeAFault) {
    const QString u = QString::fromUtf8("J\u00fcrgen");
    struct Case {
        const char *name;
        QByteArray content;
        TJobDetails expected;
        const char *error; // logged error, or nullptr
    } cases[] = {
        {"every field",
         Text("WS1") + Text("OMB") + Text("Q1") + Text(u.toUtf8()) + Text("report.pdf") +
             Text("P1") + Int32(12),
         {"WS1", "OMB", "Q1", u, u, "report.pdf", "P1", 12},
         nullptr},
        {"document flag 0",
         Text("WS1") + Text("OMB") + Text("Q1") + Text("bob") + Int32(0) + Text("P1") + Int32(3),
         {"WS1", "OMB", "Q1", "bob", "bob", "", "P1", 3},
         nullptr},
        {"two fields then zeros",
         Text("WS1") + Text("OMB"),
         {"WS1", "OMB", "", "", "", "", "", 0},
         nullptr},
        {"text running to the end of the section",
         Text("WS1") + Int32(1) + QByteArray(16384 - 12, 'x'),
         {"WS1", "", "", "", "", "", "", 0},
         "ReadMemFile, error:Read past the end of the memory file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        TestSection section(sandbox.uniqueName("job"), c.content);
        TJobDetails details;
        TMemMappedFile(section.name()).ReadJobDetails(details);
        EXPECT_EQ(details, c.expected);
        if (c.error)
            EXPECT_TRUE(log.has(c.error)) << log.lines.join('\n').toStdString();
        else
            EXPECT_TRUE(
                log.has("MemMappedFile - NumPages=" + QString::number(c.expected.NumPages)));
    }
    EXPECT_TRUE(log.has(QStringLiteral("MemMappedFile - WorkStation=WS1")));
}

TEST_F(MemMappedFileTest, MissingOrShortSectionsGiveTheSystemErrorTexts) {
    const QString missing = sandbox.uniqueName("missing");
    TMemMappedFile file(missing);
    try {
        file.Open();
        FAIL() << "opened a missing section";
    } catch (const EMemMappedFileError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Failed to open map file. Error:2"));
    }
    EXPECT_TRUE(log.has("MemMappedFile Name:" + missing));

    TJobDetails details;
    details.WorkStation = QStringLiteral("kept");
    file.ReadJobDetails(details);
    EXPECT_TRUE(log.has(QStringLiteral("ReadMemFile, error:Failed to open map file. Error:2")));
    EXPECT_EQ(details.WorkStation, QStringLiteral("kept"));

    TestSection shortSection(sandbox.uniqueName("short"), {}, 100);
    TMemMappedFile shortFile(shortSection.name());
    try {
        shortFile.Open();
        FAIL() << "mapped a section shorter than 16384 bytes";
    } catch (const EMemMappedFileError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Failed to map memory file. Error:")))
            << e.message().toStdString();
        EXPECT_GT(e.message().section(':', 1).toInt(), 0);
    }
    EXPECT_FALSE(shortFile.IsOpen());
}

TEST_F(MemMappedFileTest, PrimitivesRoundTripThroughASectionAndResetClearsIt) {
    TestSection section(sandbox.uniqueName("prim"));
    {
        TMemMappedFile file(section.name());
        file.Open();
        file.WriteInteger(-5);
        file.WriteText("abc");
        file.WriteWideText(QStringLiteral("<doc \u00e9/>"));
        file.WriteDouble(45678.5);
        file.WriteBytes("\x00\xff", 2);
        EXPECT_EQ(file.CursorPos(), 4 + (4 + 4) + (4 + 9 * 2) + 8 + 2);
        EXPECT_THROW(file.WriteBytes(QByteArray(16384, 'z').constData(), 16384),
                     EMemMappedFileError);
    }
    TMemMappedFile file(section.name());
    file.Open();
    EXPECT_EQ(file.ReadInteger(), -5);
    EXPECT_EQ(file.ReadText(), "abc");
    EXPECT_EQ(file.ReadWideText(), QStringLiteral("<doc \u00e9/>"));
    EXPECT_EQ(file.ReadDouble(), 45678.5);
    EXPECT_EQ(file.ReadBytes(2), QByteArray("\x00\xff", 2));
    file.Reset();
    EXPECT_EQ(file.CursorPos(), 0);
    EXPECT_EQ(section.bytes(), QByteArray(16384, '\0'));
    file.Close();
    EXPECT_THROW(file.ReadInteger(), EMemMappedFileError);
}

TEST_F(MemMappedFileTest, WritesTheEncryptedAnswerRecordOverTheJobDetails) {
    const QByteArray details = Text("WS1") + Text("OMB") + Text("Q1") + Text("bob") + Text("doc") +
                               Text("P1") + Int32(2) + QByteArray(200, '\x7f');
    TestSection section(sandbox.uniqueName("rec"), details);
    TMemMappedFile file(section.name());
    file.AddRecordLine(QStringLiteral("stale"), 0);
    file.ClearRecord();
    for (const char *line : {"WS1", "bob", "doc", "2"})
        file.AddRecordLine(QString::fromLatin1(line), 0);
    file.AddRecordLine(QStringLiteral("CC_Static"), 1);
    file.AddRecordLine(QStringLiteral("Sales\rK\u00f6ln"), 1);
    file.AddRecordLine(QStringLiteral("ignored"), 2);
    file.AddRecordLine(QString(), 2);
    file.WriteRecord();
    EXPECT_FALSE(file.IsOpen());

    const QByteArray expected = EncodeAnswerRecord(
        {"WS1", "bob", "doc", "2"}, {"CC_Static", QStringLiteral("Sales\rK\u00f6ln").toUtf8()}, {});
    const QByteArray after = section.bytes();
    EXPECT_EQ(after.first(expected.size()), expected);
    EXPECT_EQ(after.sliced(expected.size(), 16), details.sliced(expected.size(), 16));
}

TEST_F(MemMappedFileTest, ARecordThatCannotBeWrittenLeavesTheSectionAlone) {
    TestSection section(sandbox.uniqueName("big"), "job details");
    TMemMappedFile file(section.name());
    file.AddRecordLine(QString(16348, 'x'), 0);
    EXPECT_THROW(file.WriteRecord(), EMemMappedFileError);
    EXPECT_EQ(section.bytes().first(12), QByteArray("job details\0", 12));

    TMemMappedFile gone(sandbox.uniqueName("gone"));
    gone.AddRecordLine(QStringLiteral("WS1"), 0);
    try {
        gone.WriteRecord();
        FAIL() << "wrote a record into a missing section";
    } catch (const EMemMappedFileError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Failed to open map file. Error:2"));
    }
}

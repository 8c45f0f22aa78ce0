// SPDX-License-Identifier: MIT
// The sections another component hands the client: the job-details layout (six texts and the
// page count) and the request file (one wide text). Whatever a section holds, reading never
// passes its end, and what was read writes back and reads again the same. The answer record
// built from the texts decrypts to its lines.
//
// Input: the section's first bytes (the rest of the 16,384 is zero).
#include "FuzzSupport.h"

#include "Rc4crypt.h"
#include "SectionCodec.h"

#include <QList>
#include <QtEndian>

#include <array>

namespace {

constexpr int TextCount = 6;

struct TJobLayout {
    std::array<QByteArray, TextCount> Texts;
    qint32 NumPages = 0;
};

TJobLayout ReadJob(QByteArrayView section) {
    TSectionReader reader(section);
    TJobLayout job;
    for (QByteArray &text : job.Texts)
        text = reader.ReadText();
    job.NumPages = reader.ReadInteger();
    return job;
}

void CheckJobDetails(const QByteArray &section) {
    TJobLayout job;
    try {
        job = ReadJob(section);
    } catch (const EMemMappedFileError &) {
        return;
    }
    QByteArray written(MemFileSize, '\0');
    TSectionWriter writer(written.data(), written.size());
    for (const QByteArray &text : job.Texts)
        writer.WriteText(text);
    writer.WriteInteger(job.NumPages);
    const TJobLayout again = ReadJob(written);
    fuzz::Check(again.Texts == job.Texts && again.NumPages == job.NumPages,
                "job details differ after a write and a read");
}

void CheckRequestFile(const QByteArray &section) {
    QString request;
    try {
        request = TSectionReader(section).ReadWideText();
    } catch (const EMemMappedFileError &) {
        return;
    }
    fuzz::Check(!request.contains(QChar(0)), "request text runs past its zero unit");
    QByteArray written(MemFileSize, '\0');
    TSectionWriter writer(written.data(), written.size());
    writer.WriteWideText(request);
    fuzz::Check(TSectionReader(written).ReadWideText() == request,
                "request text differs after a write and a read");
}

// The record's header and data block as the component holding the job reads them.
void CheckAnswerRecord(const QList<QByteArray> &header, const QList<QByteArray> &pairs,
                       const QByteArray &trailer) {
    QByteArray record;
    try {
        record = EncodeAnswerRecord(header, pairs, trailer);
    } catch (const EMemMappedFileError &) {
        return;
    }
    fuzz::Check(record.size() <= MemFileSize, "answer record larger than the section");
    const qint32 length = qFromLittleEndian<qint32>(record.constData());
    fuzz::Check(length + 4 == record.size(), "record length field differs from its size");
    QByteArray block = record.mid(36);
    TSRC4Crypt(AnswerRecordKey, sizeof AnswerRecordKey)
        .Crypt(block.data(), std::size_t(block.size()));
    fuzz::Check(record.mid(12, 7).toInt() == block.size(), "data size field differs");
    QList<QByteArray> expected = header + pairs;
    expected << trailer;
    QByteArray joined;
    for (const QByteArray &line : expected)
        joined += line + '\0';
    fuzz::Check(block == joined, "answer record does not decrypt to its lines");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QByteArray section = fuzz::Bytes(data, std::min<std::size_t>(size, MemFileSize));
    section.append(MemFileSize - section.size(), '\0');
    CheckJobDetails(section);
    CheckRequestFile(section);

    // Lines of the record: the input cut at zero bytes, the first two header, the last trailer.
    QList<QByteArray> lines = fuzz::Bytes(data, size).split('\0');
    const QByteArray trailer = lines.takeLast();
    CheckAnswerRecord(lines.mid(0, 2), lines.mid(2), trailer);
    return 0;
}

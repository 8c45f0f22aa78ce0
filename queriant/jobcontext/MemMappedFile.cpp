// SPDX-License-Identifier: MIT
#include "MemMappedFile.h"

#include "Log.h"
#include "SecureWipe.h"
#include "ZvSharedSection.h"

#include <cstring>

namespace {

void WipeLines(QList<QByteArray> &lines) {
    for (QByteArray &line : lines)
        zv::SecureWipe(line);
    lines.clear();
}

} // namespace

TMemMappedFile::TMemMappedFile(const QString &mapName) : FMapName(mapName) {
    LogInfo("MemMappedFile Name:%s", mapName);
}

TMemMappedFile::~TMemMappedFile() {
    Close();
    ClearRecord();
}

char *TMemMappedFile::View() const {
    return FSection ? FSection->data() : nullptr;
}

void TMemMappedFile::Open() {
    Close();
    try {
        FSection = zv::ZvSharedSection::open(FMapName);
    } catch (const zv::ZvSectionError &e) {
        throw EMemMappedFileError(e.message());
    }
    FCursor = 0;
}

void TMemMappedFile::Close() {
    FSection.reset();
    FCursor = 0;
}

TSectionReader TMemMappedFile::Reader() const {
    if (!IsOpen())
        throw EMemMappedFileError(QStringLiteral("Memory file is not open"));
    return TSectionReader(QByteArrayView(View(), MemFileSize), FCursor);
}

TSectionWriter TMemMappedFile::Writer() const {
    if (!IsOpen())
        throw EMemMappedFileError(QStringLiteral("Memory file is not open"));
    return TSectionWriter(View(), MemFileSize, FCursor);
}

qint32 TMemMappedFile::ReadInteger() {
    TSectionReader reader = Reader();
    const qint32 value = reader.ReadInteger();
    FCursor = reader.Pos();
    return value;
}

QByteArray TMemMappedFile::ReadText() {
    TSectionReader reader = Reader();
    QByteArray text = reader.ReadText();
    FCursor = reader.Pos();
    return text;
}

QString TMemMappedFile::ReadWideText() {
    TSectionReader reader = Reader();
    QString text = reader.ReadWideText();
    FCursor = reader.Pos();
    return text;
}

double TMemMappedFile::ReadDouble() {
    TSectionReader reader = Reader();
    const double value = reader.ReadDouble();
    FCursor = reader.Pos();
    return value;
}

QByteArray TMemMappedFile::ReadBytes(qsizetype count) {
    TSectionReader reader = Reader();
    QByteArray bytes = reader.ReadBytes(count);
    FCursor = reader.Pos();
    return bytes;
}

void TMemMappedFile::WriteInteger(qint32 value) {
    TSectionWriter writer = Writer();
    writer.WriteInteger(value);
    FCursor = writer.Pos();
}

void TMemMappedFile::WriteText(QByteArrayView text) {
    TSectionWriter writer = Writer();
    writer.WriteText(text);
    FCursor = writer.Pos();
}

void TMemMappedFile::WriteWideText(const QString &text) {
    TSectionWriter writer = Writer();
    writer.WriteWideText(text);
    FCursor = writer.Pos();
}

void TMemMappedFile::WriteDouble(double value) {
    TSectionWriter writer = Writer();
    writer.WriteDouble(value);
    FCursor = writer.Pos();
}

void TMemMappedFile::WriteBytes(const char *bytes, qsizetype count) {
    TSectionWriter writer = Writer();
    writer.WriteBytes(bytes, count);
    FCursor = writer.Pos();
}

void TMemMappedFile::Reset() {
    if (!IsOpen())
        throw EMemMappedFileError(QStringLiteral("Memory file is not open"));
    std::memset(View(), 0, size_t(MemFileSize));
    FCursor = 0;
}

void TMemMappedFile::ReadJobDetails(TJobDetails &record) {
    try {
        Open();
        record.WorkStation = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - WorkStation=%s", record.WorkStation);
        record.OmbrelServer = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - OmbrelServer=%s", record.OmbrelServer);
        record.SpoolQueue = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - SpoolQueue=%s", record.SpoolQueue);
        record.UserName = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - UserName=%s", record.UserName);
        record.ReceivedUserName = record.UserName;
        record.Document = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - Document=%s", record.Document);
        record.PrinterName = QString::fromUtf8(ReadText());
        LogInfo("MemMappedFile - PrinterName=%s", record.PrinterName);
        record.NumPages = ReadInteger();
        LogInfo("MemMappedFile - NumPages=%d", record.NumPages);
    } catch (const zv::ZvError &e) {
        LogError("ReadMemFile, error:%s", e.message());
    }
    Close();
}

void TMemMappedFile::ClearRecord() {
    WipeLines(FHeaderLines);
    WipeLines(FPairLines);
    zv::SecureWipe(FTrailerText);
}

void TMemMappedFile::AddRecordLine(const QString &text, int section) {
    switch (section) {
    case 0:
        FHeaderLines.append(text.toUtf8());
        break;
    case 1:
        FPairLines.append(text.toUtf8());
        break;
    case 2:
        zv::SecureWipe(FTrailerText);
        FTrailerText = text.toUtf8();
        break;
    default:
        throw EMemMappedFileError(QStringLiteral("Invalid answer record section %1").arg(section));
    }
}

void TMemMappedFile::WriteRecord() {
    QByteArray record = EncodeAnswerRecord(FHeaderLines, FPairLines, FTrailerText);
    try {
        Open();
        WriteBytes(record.constData(), record.size());
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

// SPDX-License-Identifier: MIT
// The byte encodings carried by the job sections: sequential, unaligned, little-endian
// integers and reals, texts with a presence flag and a terminating zero, and the encrypted
// answer record. Pure functions over bytes so that every layout can be checked without a
// section.
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Every job section is mapped whole at this size.
constexpr qsizetype MemFileSize = 16384;

// A section that cannot be opened, mapped, read or written.
class EMemMappedFileError : public zv::ZvError {
public:
    using ZvError::ZvError;
};

// Reads the primitive encodings one after another. Every read checks the bounds first, so a
// damaged section ends with an error instead of reading past its end.
class TSectionReader {
public:
    explicit TSectionReader(QByteArrayView data, qsizetype pos = 0) : m_data(data), m_pos(pos) {}

    qint32 ReadInteger();
    // UTF-8 or code-page bytes; a zero flag gives an empty text.
    QByteArray ReadText();
    QString ReadWideText();
    double ReadDouble();
    QByteArray ReadBytes(qsizetype count);

    qsizetype Pos() const { return m_pos; }

private:
    void Need(qsizetype count) const;
    QByteArrayView m_data;
    qsizetype m_pos;
};

// Writes the primitive encodings one after another into a fixed-size buffer. A value that does
// not fit fails before any of its bytes is written.
class TSectionWriter {
public:
    TSectionWriter(char *data, qsizetype size, qsizetype pos = 0)
        : m_data(data), m_size(size), m_pos(pos) {}

    void WriteInteger(qint32 value);
    // An empty text is written as the flag 0 alone.
    void WriteText(QByteArrayView text);
    void WriteWideText(const QString &text);
    void WriteDouble(double value);
    void WriteBytes(const char *bytes, qsizetype count);

    qsizetype Pos() const { return m_pos; }

private:
    void Need(qsizetype count) const;
    char *m_data;
    qsizetype m_size;
    qsizetype m_pos;
};

// The fixed RC4 key of the answer record, byte 0 first.
extern const unsigned char AnswerRecordKey[16];

// The largest data block an answer record can carry in one section.
constexpr qsizetype MaxAnswerRecordData = MemFileSize - 36;

// The complete answer record (length integer, 32-byte header, RC4-encrypted data block) as it
// is written from offset 0. Every line is followed by one zero byte; the trailer too. Fails
// when the data block does not fit a section.
QByteArray EncodeAnswerRecord(const QList<QByteArray> &headerLines,
                              const QList<QByteArray> &pairLines, const QByteArray &trailerText);

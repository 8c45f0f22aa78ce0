// SPDX-License-Identifier: MIT
#include "SectionCodec.h"

#include "Rc4crypt.h"
#include "SecureWipe.h"

#include <QtEndian>

#include <cstring>

namespace {

const QString ReadPastEnd = QStringLiteral("Read past the end of the memory file");
const QString WritePastEnd = QStringLiteral("Write past the end of the memory file");

// Zero-padded decimal digits of a fixed width.
QByteArray Digits(qsizetype value, int width) {
    return QByteArray::number(value).rightJustified(width, '0', true);
}

qsizetype LinesSize(const QList<QByteArray> &lines) {
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 1;
    return size;
}

void AppendLines(QByteArray &block, const QList<QByteArray> &lines) {
    for (const QByteArray &line : lines) {
        block.append(line);
        block.append('\0');
    }
}

} // namespace

const unsigned char AnswerRecordKey[16] = {0x3C, 0x71, 0xA9, 0xE0, 0x4B, 0x8D, 0x2F, 0x56,
                                           0xE1, 0x90, 0x7A, 0xC4, 0xD2, 0x5B, 0x8E, 0x13};

void TSectionReader::Need(qsizetype count) const {
    if (count < 0 || m_pos < 0 || m_pos > m_data.size() || count > m_data.size() - m_pos)
        throw EMemMappedFileError(ReadPastEnd);
}

qint32 TSectionReader::ReadInteger() {
    Need(4);
    const qint32 value = qFromLittleEndian<qint32>(m_data.data() + m_pos);
    m_pos += 4;
    return value;
}

QByteArray TSectionReader::ReadText() {
    if (ReadInteger() == 0)
        return {};
    const QByteArrayView rest = m_data.sliced(m_pos);
    const qsizetype end = rest.indexOf('\0');
    if (end < 0)
        throw EMemMappedFileError(ReadPastEnd);
    m_pos += end + 1;
    return rest.first(end).toByteArray();
}

QString TSectionReader::ReadWideText() {
    if (ReadInteger() == 0)
        return {};
    QString text;
    for (;;) {
        Need(2);
        const char16_t unit = qFromLittleEndian<quint16>(m_data.data() + m_pos);
        m_pos += 2;
        if (unit == 0)
            return text;
        text.append(QChar(unit));
    }
}

double TSectionReader::ReadDouble() {
    Need(8);
    const double value = qFromLittleEndian<double>(m_data.data() + m_pos);
    m_pos += 8;
    return value;
}

QByteArray TSectionReader::ReadBytes(qsizetype count) {
    Need(count);
    QByteArray bytes(m_data.data() + m_pos, count);
    m_pos += count;
    return bytes;
}

void TSectionWriter::Need(qsizetype count) const {
    if (count < 0 || m_pos < 0 || m_pos > m_size || count > m_size - m_pos)
        throw EMemMappedFileError(WritePastEnd);
}

void TSectionWriter::WriteInteger(qint32 value) {
    Need(4);
    qToLittleEndian(value, m_data + m_pos);
    m_pos += 4;
}

void TSectionWriter::WriteText(QByteArrayView text) {
    if (text.isEmpty()) {
        WriteInteger(0);
        return;
    }
    Need(4 + text.size() + 1);
    WriteInteger(1);
    std::memcpy(m_data + m_pos, text.data(), size_t(text.size()));
    m_pos += text.size();
    m_data[m_pos++] = '\0';
}

void TSectionWriter::WriteWideText(const QString &text) {
    if (text.isEmpty()) {
        WriteInteger(0);
        return;
    }
    Need(4 + 2 * (text.size() + 1));
    WriteInteger(1);
    for (const QChar c : text) {
        qToLittleEndian(quint16(c.unicode()), m_data + m_pos);
        m_pos += 2;
    }
    qToLittleEndian(quint16(0), m_data + m_pos);
    m_pos += 2;
}

void TSectionWriter::WriteDouble(double value) {
    Need(8);
    qToLittleEndian(value, m_data + m_pos);
    m_pos += 8;
}

void TSectionWriter::WriteBytes(const char *bytes, qsizetype count) {
    Need(count);
    if (count > 0)
        std::memcpy(m_data + m_pos, bytes, size_t(count));
    m_pos += count;
}

QByteArray EncodeAnswerRecord(const QList<QByteArray> &headerLines,
                              const QList<QByteArray> &pairLines, const QByteArray &trailerText) {
    const qsizetype a = LinesSize(headerLines);
    const qsizetype b = LinesSize(pairLines);
    const qsizetype c = trailerText.size() + 1;
    const qsizetype d = a + b + c;
    if (d > MaxAnswerRecordData)
        throw EMemMappedFileError(
            QStringLiteral("Answer record of %1 bytes does not fit the memory file").arg(d));

    QByteArray record(36, '\0');
    qToLittleEndian(qint32(32 + d), record.data());
    const char marker[8] = {'\xC0', '\xC1', '\xC2', '\xC3', '\xC4', '\xC5', '\xC6', '\xC7'};
    record.replace(4, 8, marker, 8);
    record.replace(12, 7, Digits(d, 7));
    record.replace(20, 3, "154");
    record.replace(24, 5, Digits(a + b, 5));
    record.replace(30, 5, Digits(c, 5));

    QByteArray block;
    block.reserve(d);
    AppendLines(block, headerLines);
    AppendLines(block, pairLines);
    block.append(trailerText);
    block.append('\0');
    TSRC4Crypt(AnswerRecordKey, sizeof AnswerRecordKey).Crypt(block.data(), size_t(block.size()));
    record.append(block);
    return record;
}

// SPDX-License-Identifier: MIT
// zvjob's own reading and writing of the job section: the job-details layout it writes for the
// client and the encrypted answer record the client writes back. Deliberately separate from the
// client's code so that a fault on one side is not mirrored on the other.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>

namespace zvjob {

struct JobFields {
    QString workStation;
    QString printServer;
    QString queue;
    QString userName;
    QString document;
    QString printer;
    qint32 pages = 0;
};

// Job-details layout from offset 0: six texts (32-bit little-endian flag, UTF-8 bytes, zero)
// and the page count. Fails when the fields do not fit sectionSize bytes.
QByteArray encodeJobFields(const JobFields &job, qsizetype sectionSize);

struct AnswerRecord {
    // The zero-terminated lines of the first two sections (header lines, then name/answer pairs).
    QList<QByteArray> lines;
    QByteArray trailer;
};

class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The answer record at the start of the section, decrypted; nullopt when the section carries
// no record (its marker is missing). A record whose header or data block is inconsistent fails.
std::optional<AnswerRecord> decodeAnswerRecord(const QByteArray &section);

// RC4 over the bytes in place, with the record's fixed key (OpenSSL's legacy provider).
void rc4AnswerKey(QByteArray &bytes);

} // namespace zvjob

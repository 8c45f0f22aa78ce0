// SPDX-License-Identifier: MIT
// The request-file section as a caller sees it: at offset 0 one wide text (32-bit
// little-endian flag, 1 when text follows; UTF-16LE code units; a 16-bit zero).
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

namespace zvrequest {

class SectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The section image carrying text; fails when it does not fit sectionSize bytes.
QByteArray encodeWideText(const QString &text, qsizetype sectionSize);
// The wide text at offset 0; empty when the flag is 0. Fails when the text has no terminator
// inside the section.
QString decodeWideText(const QByteArray &section);
// A request file's bytes: UTF-16 with a byte-order mark, else UTF-8 (a UTF-8 mark dropped).
QString decodeRequestFile(const QByteArray &bytes);

} // namespace zvrequest

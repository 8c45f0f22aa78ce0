// SPDX-License-Identifier: MIT
#include "SectionBytes.h"

#include <QtEndian>

namespace zvtest {

QByteArray SectionInt32(qint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray SectionText(const QByteArray &bytes) {
    return SectionInt32(1) + bytes + '\0';
}

} // namespace zvtest

// SPDX-License-Identifier: MIT
// The job section's encodings written out by hand, as the component that holds a job writes
// them: a 32-bit little-endian integer, and a present text (flag 1, the bytes, a zero).
#pragma once

#include <QByteArray>

namespace zvtest {

QByteArray SectionInt32(qint32 value);
QByteArray SectionText(const QByteArray &bytes);

} // namespace zvtest

// SPDX-License-Identifier: MIT
// Overwrites secret material (answers, plain copies, buffers) before it is released.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace zv {

void SecureWipe(void *data, std::size_t size);
// Detaches and zeroes the string's own storage, then leaves it empty.
void SecureWipe(QByteArray &bytes);
void SecureWipe(QString &text);

} // namespace zv

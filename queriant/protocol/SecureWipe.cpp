// SPDX-License-Identifier: MIT
#include "SecureWipe.h"

#include <openssl/crypto.h>

namespace zv {

void SecureWipe(void *data, std::size_t size) {
    if (data && size > 0)
        OPENSSL_cleanse(data, size);
}

void SecureWipe(QByteArray &bytes) {
    if (!bytes.isEmpty()) {
        // data() detaches; a shared copy keeps its own bytes, which its owner must wipe.
        SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    }
    bytes.clear();
}

void SecureWipe(QString &text) {
    if (!text.isEmpty())
        SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    text.clear();
}

} // namespace zv

// SPDX-License-Identifier: MIT
// Process-wide AES-128-CBC under one fixed key for secrets held in memory (secure answers)
// and shared between the client's own instances (remembered answers). Every call starts from
// the zero vector, so equal texts give equal ciphertexts. User-interface thread only.
#pragma once

#include <QByteArray>
#include <QString>

class TAesUse {
public:
    // Creates the engine on first use and keys it; later calls only re-key it.
    static void Init();

    // Ciphertext of the text followed by at least one zero byte, padded with zeros to whole
    // blocks: 15 bytes give 16, 16 give 32, the empty text 16.
    static QByteArray EncryptText(const QByteArray &text);
    // The same over the UTF-16 code units (low byte first): 8 characters give 32 bytes.
    static QByteArray EncryptWide(const QString &text);

    // Plain text up to the first zero byte; an empty ciphertext gives an empty text.
    static QByteArray DecryptText(const QByteArray &cipher);
    // The first charCount code units of the plain text (never more than the ciphertext holds);
    // charCount < 0 takes the code units up to the first zero unit.
    static QString DecryptWide(const QByteArray &cipher, int charCount = -1);

    // The fixed key, byte 0 first.
    static const unsigned char Key[16];
};

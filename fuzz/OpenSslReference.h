// SPDX-License-Identifier: MIT
// OpenSSL as the reference the big-number and cipher targets compare against.
#pragma once

#include <QByteArray>

#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>

namespace fuzz {

struct BnFree {
    void operator()(BIGNUM *n) const { BN_free(n); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

inline Bn BnFromBytes(const QByteArray &bigEndian) {
    return Bn(BN_bin2bn(reinterpret_cast<const unsigned char *>(bigEndian.constData()),
                        int(bigEndian.size()), nullptr));
}

// Big-endian bytes without leading zeros (empty for zero).
inline QByteArray BnToBytes(const BIGNUM *n) {
    QByteArray bytes(BN_num_bytes(n), '\0');
    BN_bn2bin(n, reinterpret_cast<unsigned char *>(bytes.data()));
    return bytes;
}

// One AES-128 block through the cipher (ECB), the building block of the reference CBC.
inline void AesBlock(bool encrypt, const unsigned char key[16], const unsigned char in[16],
                     unsigned char out[16]) {
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    int n = 0;
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherUpdate(ctx, out, &n, in, 16);
    EVP_CIPHER_CTX_free(ctx);
}

} // namespace fuzz

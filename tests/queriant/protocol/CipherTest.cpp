// SPDX-License-Identifier: MIT
#include "AesUse.h"
#include "CtrChain.h"
#include "Rc4crypt.h"
#include "Rijndael.h"
#include "TestSupport.h"

#include <QByteArray>

#include <cstring>
#include <vector>

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

const std::uint8_t *u8(const QByteArray &b) {
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

QByteArray encryptWith(TRijndael &aes, const QByteArray &plain) {
    QByteArray out(plain.size(), '\0');
    aes.Encrypt(u8(plain), reinterpret_cast<std::uint8_t *>(out.data()), plain.size());
    return out;
}

QByteArray decryptWith(TRijndael &aes, const QByteArray &cipher) {
    QByteArray out(cipher.size(), '\0');
    aes.Decrypt(u8(cipher), reinterpret_cast<std::uint8_t *>(out.data()), cipher.size());
    return out;
}

TRijndael::Block block(const QByteArray &b) {
    TRijndael::Block out{};
    std::memcpy(out.data(), b.constData(), out.size());
    return out;
}

struct BlockVector {
    const char *name;
    const char *key;
    const char *plain;
    const char *cipher;
    int rounds;
};

} // namespace

TEST(Rijndael, ReproducesFips197Examples) {
    const BlockVector vectors[] = {
        {"B", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
         "3925841d02dc09fbdc118597196a0b32", 10},
        {"C.1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
        {"C.2", "000102030405060708090a0b0c0d0e0f1011121314151617",
         "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
        {"C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089", 14},
    };
    for (const auto &v : vectors) {
        SCOPED_TRACE(v.name);
        const QByteArray key = hex(v.key);
        TRijndael aes;
        aes.Init(u8(key), static_cast<int>(key.size() * 8));
        EXPECT_EQ(aes.Rounds(), v.rounds);
        EXPECT_EQ(encryptWith(aes, hex(v.plain)).toHex(), QByteArray(v.cipher));
        aes.Reset();
        EXPECT_EQ(decryptWith(aes, hex(v.cipher)).toHex(), QByteArray(v.plain));
    }
}

TEST(Rijndael, ReproducesSp80038aCbcAndChainsAcrossCalls) {
    const QByteArray key = hex("2b7e151628aed2a6abf7158809cf4f3c");
    const QByteArray iv = hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = hex("6bc1bee22e409f96e93d7e117393172a"
                                 "ae2d8a571e03ac9c9eb76fac45af8e51"
                                 "30c81c46a35ce411e5fbc1191a0a52ef"
                                 "f69f2445df4f9b17ad2b417be66c3710");
    const QByteArray cipher = hex("7649abac8119b246cee98e9b12e9197d"
                                  "5086cb9b507219ee95db113a917678b2"
                                  "73bed6b8e3c1743b7116e69e22229516"
                                  "3ff1caa1681fac09120eca307586e1a7");
    TRijndael aes;
    aes.Init(u8(key), 128, block(iv));
    EXPECT_EQ(encryptWith(aes, plain), cipher);

    // Block by block through one engine gives the same chain; Reset starts it over.
    aes.Reset();
    QByteArray pieces;
    for (int k = 0; k < 4; ++k)
        pieces += encryptWith(aes, plain.mid(k * 16, 16));
    EXPECT_EQ(pieces, cipher);

    aes.Reset();
    QByteArray inPlace = cipher;
    aes.Decrypt(u8(inPlace), reinterpret_cast<std::uint8_t *>(inPlace.data()), inPlace.size());
    EXPECT_EQ(inPlace, plain);
}

TEST(Rijndael, PartialTailUsesEncryptedChainValueAndLeavesChain) {
    const QByteArray key = hex("2b7e151628aed2a6abf7158809cf4f3c");
    const QByteArray first = hex("6bc1bee22e409f96e93d7e117393172a");
    TRijndael aes;
    aes.Init(u8(key), 128);
    // A zero block after C1 yields E(C1), the key stream the partial tail must use.
    const QByteArray twoBlocks = encryptWith(aes, first + QByteArray(16, '\0'));
    const QByteArray c1 = twoBlocks.left(16);
    const QByteArray streamAfterC1 = twoBlocks.mid(16);

    const QByteArray tail = hex("a1b2c3d4e5");
    QByteArray expectedTail = tail;
    for (int k = 0; k < tail.size(); ++k)
        expectedTail[k] = static_cast<char>(tail[k] ^ streamAfterC1[k]);

    aes.Reset();
    const QByteArray cipher = encryptWith(aes, first + tail);
    EXPECT_EQ(cipher, c1 + expectedTail);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(aes.ChainValue().data()), 16), c1);

    aes.Reset();
    EXPECT_EQ(decryptWith(aes, cipher), first + tail);
    // Shorter than a block: the tail rule alone, on the initialisation vector.
    aes.Reset();
    const QByteArray shortCipher = encryptWith(aes, tail);
    EXPECT_EQ(shortCipher.size(), tail.size());
    aes.Reset();
    EXPECT_EQ(decryptWith(aes, shortCipher), tail);
}

TEST(Rijndael, KeySizesAndInitialisationErrors) {
    const std::uint8_t key[32] = {1, 2, 3};
    struct Case {
        int bits;
        const char *error;
        int rounds;
    } cases[] = {
        {0, "Rijndael: Invalid key size - 0", 0},
        {7, "Rijndael: Invalid key size - 7", 0},
        {100, "Rijndael: Invalid key size - 100", 0},
        {264, "Rijndael: Invalid key size - 264", 0},
        {-8, "Rijndael: Invalid key size - -8", 0},
        {8, nullptr, 10},
        {128, nullptr, 10},
        {136, nullptr, 12},
        {192, nullptr, 12},
        {200, nullptr, 14},
        {256, nullptr, 14},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        TRijndael aes;
        if (c.error) {
            try {
                aes.Init(key, c.bits);
                ADD_FAILURE() << "no error";
            } catch (const ERijndaelError &e) {
                EXPECT_EQ(e.message(), QString::fromLatin1(c.error));
            }
            EXPECT_FALSE(aes.Initialized());
        } else {
            aes.Init(key, c.bits);
            EXPECT_EQ(aes.Rounds(), c.rounds);
        }
    }

    // A short key is the same as its zero-extended 128-bit form.
    const std::uint8_t wide[16] = {1, 2, 3};
    TRijndael shortKey, fullKey;
    shortKey.Init(key, 24);
    fullKey.Init(wide, 128);
    const QByteArray plain(16, 'x');
    EXPECT_EQ(encryptWith(shortKey, plain), encryptWith(fullKey, plain));

    TRijndael fresh;
    std::uint8_t buffer[16] = {};
    for (auto operation : {&TRijndael::Encrypt, &TRijndael::Decrypt}) {
        try {
            (fresh.*operation)(buffer, buffer, sizeof buffer);
            ADD_FAILURE() << "no error";
        } catch (const ERijndaelError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Rijndael: Not initialized"));
        }
    }
}

TEST(CtrChain, KeysWithHeaderWordsAndMask) {
    TCtrChain::SessionKey session;
    for (int k = 0; k < 16; ++k)
        session[k] = static_cast<std::uint8_t>(0x10 + k);
    TCtrChain plain(session);
    TCtrChain mixed(session, 0x04030201u, 0xA0B0C0D0u);
    for (int k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(plain.Key[k], session[k] ^ TCtrChain::KeyMask[k]);
        std::uint8_t word = 0;
        if (k < 4)
            word = static_cast<std::uint8_t>(k + 1);
        else if (k < 8)
            word = static_cast<std::uint8_t>(0xD0 - 0x10 * (k - 4));
        EXPECT_EQ(mixed.Key[k], session[k] ^ word ^ TCtrChain::KeyMask[k]);
    }

    // The message cipher is plain AES-128-CBC from a zero vector under the mixed key.
    const QByteArray body(48, 'b');
    QByteArray viaChain = body;
    plain.Encrypt(u8(viaChain), reinterpret_cast<std::uint8_t *>(viaChain.data()), 48);
    TRijndael aes;
    aes.Init(plain.Key.data(), 128);
    EXPECT_EQ(viaChain, encryptWith(aes, body));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(plain.ChainValue.data()), 16),
              viaChain.right(16));
}

TEST(CtrChain, SecondMessageContinuesFromLastCipherBlock) {
    TCtrChain::SessionKey session{};
    session[0] = 0x42;
    const QByteArray first(32, 'a'), second(16, 'z');

    TCtrChain chain(session);
    QByteArray out1 = first, out2 = second;
    chain.Encrypt(u8(out1), reinterpret_cast<std::uint8_t *>(out1.data()), out1.size());
    chain.Encrypt(u8(out2), reinterpret_cast<std::uint8_t *>(out2.data()), out2.size());

    TCtrChain fresh(session);
    std::memcpy(fresh.ChainValue.data(), out1.constData() + 16, 16);
    QByteArray again = second;
    fresh.Encrypt(u8(again), reinterpret_cast<std::uint8_t *>(again.data()), again.size());
    EXPECT_EQ(out2, again);

    // A receiver with its own object decrypts both messages in place, in order.
    TCtrChain receiver(session);
    receiver.Decrypt(u8(out1), reinterpret_cast<std::uint8_t *>(out1.data()), out1.size());
    receiver.Decrypt(u8(out2), reinterpret_cast<std::uint8_t *>(out2.data()), out2.size());
    EXPECT_EQ(out1, first);
    EXPECT_EQ(out2, second);

    QByteArray untouched = "abc";
    chain.Encrypt(u8(untouched), reinterpret_cast<std::uint8_t *>(untouched.data()), 0);
    EXPECT_EQ(untouched, QByteArray("abc"));
}

TEST(CtrChain, PadCountAndFillPad) {
    const std::pair<std::size_t, int> cases[] = {{0, 16},  {1, 15},  {15, 1},
                                                 {16, 16}, {17, 15}, {32, 16}};
    for (auto [n, pad] : cases)
        EXPECT_EQ(TCtrChain::PadCount(n), pad) << n;
    std::uint8_t buffer[18];
    std::memset(buffer, 0xEE, sizeof buffer);
    TCtrChain::FillPad(buffer + 1, 16);
    EXPECT_EQ(buffer[0], 0xEE);
    for (int k = 1; k <= 16; ++k)
        EXPECT_EQ(buffer[k], 16);
    EXPECT_EQ(buffer[17], 0xEE);
}

TEST(AesUse, SizesKnownAnswerAndRoundTrips) {
    TAesUse::Init();
    const struct {
        const char *name;
        QByteArray text;
        int size;
    } texts[] = {{"empty", "", 16},
                 {"15", QByteArray(15, 'q'), 16},
                 {"16", QByteArray(16, 'q'), 32},
                 {"31", QByteArray(31, 'q'), 32},
                 {"utf8", QByteArray("Kost\xc3\xa9nstelle"), 16}};
    for (const auto &t : texts) {
        SCOPED_TRACE(t.name);
        const QByteArray cipher = TAesUse::EncryptText(t.text);
        EXPECT_EQ(cipher.size(), t.size);
        EXPECT_EQ(TAesUse::EncryptText(t.text), cipher); // reset after every call
        EXPECT_EQ(TAesUse::DecryptText(cipher), t.text);
    }
    // The fixed key is shared with other instances of the program: pin it.
    EXPECT_EQ(TAesUse::EncryptText("").toHex(), QByteArray("a8053dc4776035f54e6710e72db96126"));
    EXPECT_EQ(TAesUse::EncryptText("secret").toHex(),
              QByteArray("a0bfa4c676de2cfb956a789a0a596e30"));
    EXPECT_TRUE(TAesUse::DecryptText(QByteArray()).isEmpty());
}

TEST(AesUse, WideTextSizesAndCharacterCounts) {
    TAesUse::Init();
    const QString eight = QStringLiteral("\u0627bcdefg\u00e9");
    const QByteArray cipher = TAesUse::EncryptWide(eight);
    EXPECT_EQ(cipher.size(), 32);
    EXPECT_EQ(TAesUse::EncryptWide(QString()).size(), 16);
    EXPECT_EQ(TAesUse::EncryptWide(QStringLiteral("1234567")).size(), 16);
    EXPECT_EQ(TAesUse::DecryptWide(cipher, 8), eight);
    EXPECT_EQ(TAesUse::DecryptWide(cipher, 3), eight.left(3));
    EXPECT_EQ(TAesUse::DecryptWide(cipher), eight);
    // A recorded count larger than the slot never reads past it.
    EXPECT_EQ(TAesUse::DecryptWide(cipher, 1000).size(), 16);
    // Low byte first on the wire: the same bytes through EncryptText decrypt alike.
    EXPECT_EQ(TAesUse::DecryptText(TAesUse::EncryptWide(QStringLiteral("AB"))), QByteArray("A"));
}

TEST(SRC4Crypt, ReproducesPublishedVectorsAndContinuesStream) {
    const struct {
        const char *key;
        QByteArray plain;
        const char *cipher;
    } vectors[] = {
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
        {"\x01\x02\x03\x04\x05", QByteArray(32, '\0'),
         "b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919"},
        {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", QByteArray(32, '\0'),
         "9ac7cc9a609d1ef7b2932899cde41b975248c4959014126a6e8a84f11d1a9e1c"},
    };
    for (const auto &v : vectors) {
        SCOPED_TRACE(v.key);
        const auto *key = reinterpret_cast<const std::uint8_t *>(v.key);
        const int length = static_cast<int>(std::strlen(v.key));
        QByteArray data = v.plain;
        TSRC4Crypt(key, length).Crypt(data.data(), data.size());
        EXPECT_EQ(data.toHex(), QByteArray(v.cipher));

        // Split across calls: the key stream continues.
        QByteArray split = v.plain;
        TSRC4Crypt rc4(key, length);
        rc4.Crypt(split.data(), 3);
        rc4.Crypt(split.data() + 3, split.size() - 3);
        EXPECT_EQ(split, data);
    }

    // No key and length 0 mean the fixed 16-byte key.
    QByteArray a(20, 'x'), b(20, 'x');
    TSRC4Crypt().Crypt(a.data(), a.size());
    TSRC4Crypt(TAesUse::Key, 16).Crypt(b.data(), b.size());
    EXPECT_EQ(a, b);
    TSRC4Crypt().Crypt(a.data(), a.size());
    EXPECT_EQ(a, QByteArray(20, 'x'));
}

// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvWideWord.h"
#include "arith.h"

#include <openssl/bn.h>

#include <random>

namespace {

TZvWideWord fromHex(const char *hex) {
    TZvWideWord w;
    w.AssignHex(QString::fromLatin1(hex));
    return w;
}

TZvWideWord fromInt(long long n) {
    TZvWideWord w;
    w.Assign(n);
    return w;
}

template <typename F> QString errorOf(F f) {
    try {
        f();
    } catch (const zv::ZvError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

QByteArray randomBytes(std::mt19937 &rng, int count) {
    QByteArray b(count, '\0');
    for (auto &c : b)
        c = static_cast<char>(rng());
    if (count > 0 && b[0] == 0)
        b[0] = 1;
    return b;
}

QByteArray bnHex(const QByteArray &bytes) {
    BIGNUM *bn = BN_bin2bn(reinterpret_cast<const unsigned char *>(bytes.constData()),
                           static_cast<int>(bytes.size()), nullptr);
    char *hex = BN_bn2hex(bn);
    QByteArray text(hex);
    OPENSSL_free(hex);
    BN_free(bn);
    return text == "0" ? QByteArray() : text;
}

} // namespace

TEST(ZvWideWord, AssignAndHexForms) {
    EXPECT_EQ(fromHex("0A0B").ToHex(), QStringLiteral("0A0B"));
    EXPECT_EQ(fromHex("0a0b").Compare(fromHex("0A0B")), 0);
    const TZvWideWord padded = fromHex("000A0B");
    EXPECT_EQ(padded.Length, 2);
    EXPECT_EQ(padded.ToHex(), QStringLiteral("0A0B"));
    EXPECT_EQ(fromInt(256).Length, 2);
    EXPECT_EQ(fromInt(0).Length, 0);
    EXPECT_EQ(fromInt(0).ToHex(), QString());
    // An odd digit count reads as if a leading 0 were there; a stray character ends the digits.
    const struct {
        const char *hex;
        const char *value;
    } digitCases[] = {
        {"10001", "010001"}, {"ABC", "0ABC"},   {"1", "01"}, {"0", ""},
        {"12zz34", "12"},    {"123z4", "0123"}, {"z12", ""}, {"00010001", "010001"},
    };
    for (const auto &c : digitCases)
        EXPECT_EQ(fromHex(c.hex).ToHex(), QLatin1String(c.value)) << c.hex;
    EXPECT_EQ(fromHex("10001").Compare(fromInt(65537)), 0);

    TZvWideWord w;
    const std::uint8_t key01[] = {0x01, 0x23, 0x45};
    w.AssignBytes(key01, 3);
    EXPECT_EQ(w.ToHex(), QStringLiteral("01012345"));
    const std::uint8_t key00[] = {0x00, 0x23};
    w.AssignBytes(key00, 2);
    EXPECT_EQ(w.ToHex(), QStringLiteral("010023"));
    const std::uint8_t key02[] = {0x02, 0x00};
    w.AssignBytes(key02, 2);
    EXPECT_EQ(w.ToHex(), QStringLiteral("0200"));
    const std::uint8_t zeros[] = {0, 0, 0};
    w.AssignBytesTrimmed(zeros, 3);
    EXPECT_TRUE(w.IsZero());

    EXPECT_EQ(errorOf([] { fromInt(-1); }),
              QStringLiteral("TZvWideWord.Assign: cannot convert negative number"));
    EXPECT_EQ(errorOf([] { fromHex(QByteArray(514, 'F').constData()); }),
              QStringLiteral("TZvWideWord.Assign: overflow"));
    EXPECT_EQ(fromHex(QByteArray(512, 'F').constData()).Length, 256);
    EXPECT_EQ(errorOf([] { fromHex(QByteArray(513, 'F').constData()); }),
              QStringLiteral("TZvWideWord.Assign: overflow"))
        << "513 digits are more than 256 bytes";
    EXPECT_EQ(fromHex(("0" + QByteArray(512, 'F')).constData()).Length, 256);
    const QByteArray big(257, '\x05');
    EXPECT_EQ(errorOf([&] {
                  TZvWideWord x;
                  x.AssignBytes(reinterpret_cast<const std::uint8_t *>(big.constData()), 257);
              }),
              QStringLiteral("TZvWideWord.Assign: overflow"));
}

TEST(ZvWideWord, ArithmeticExamplesAndErrors) {
    TZvWideWord q = fromInt(1000), r;
    q.Divide(fromInt(7), r);
    EXPECT_EQ(q.Compare(fromInt(142)), 0);
    EXPECT_EQ(r.Compare(fromInt(6)), 0);
    q = fromInt(5);
    q.Divide(fromInt(7), r);
    EXPECT_TRUE(q.IsZero());
    EXPECT_EQ(r.Compare(fromInt(5)), 0);
    EXPECT_EQ(errorOf([] {
                  TZvWideWord a = fromInt(5), rest;
                  a.Divide(TZvWideWord(), rest);
              }),
              QStringLiteral("TZvWideWord.Divide: division by zero"));

    TZvWideWord base = fromInt(4);
    base.ModPow(fromInt(13), fromInt(497));
    EXPECT_EQ(base.Compare(fromInt(445)), 0);
    base = fromInt(4);
    base.ModPowBySquaring(fromInt(13), fromInt(497));
    EXPECT_EQ(base.Compare(fromInt(445)), 0);

    // Degenerate keys: every result is reduced by the modulus, the empty product too, and a
    // zero modulus is an error whatever the exponent.
    const QString divisionByZero = QStringLiteral("TZvWideWord.Divide: division by zero");
    const struct {
        long long base, exponent, modulus;
        const char *result; // hexadecimal, or nullptr for the division error
    } degenerate[] = {
        {1000, 3, 1, ""}, {9, 0, 1, ""},       {0, 0, 1, ""},       {9, 0, 7, "01"},
        {0, 0, 7, "01"},  {9, 0, 0, nullptr},  {9, 3, 0, nullptr},  {0, 0, 0, nullptr},
        {8, 0, 2, "01"},  {300, 0, 257, "01"}, {300, 1, 257, "2B"}, {2, 0, 1, ""},
    };
    for (const auto &c : degenerate) {
        for (const bool bySquaring : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1^%2 mod %3%4")
                             .arg(c.base)
                             .arg(c.exponent)
                             .arg(c.modulus)
                             .arg(bySquaring ? " by squaring" : "")
                             .toStdString());
            TZvWideWord x = fromInt(c.base);
            const QString error = errorOf([&] {
                if (bySquaring)
                    x.ModPowBySquaring(fromInt(c.exponent), fromInt(c.modulus));
                else
                    x.ModPow(fromInt(c.exponent), fromInt(c.modulus));
            });
            if (c.result) {
                EXPECT_EQ(error, QStringLiteral("(no error)"));
                EXPECT_EQ(x.ToHex(), QLatin1String(c.result));
            } else {
                EXPECT_EQ(error, divisionByZero);
            }
        }
    }

    EXPECT_EQ(fromInt(0x80).BitCount(), 8);
    EXPECT_EQ(fromInt(0x100).BitCount(), 9);
    EXPECT_TRUE(fromInt(0x100).TestBit(8));
    EXPECT_FALSE(fromInt(0x100).TestBit(7));
    EXPECT_LT(fromInt(255).Compare(fromInt(256)), 0);
    EXPECT_GT(fromInt(0x0201).Compare(fromInt(0x0102)), 0);

    TZvWideWord a = fromHex(QByteArray(258, '7').constData()); // 129 bytes
    const TZvWideWord b = a;
    EXPECT_EQ(errorOf([&] { a.Multiply(b); }), QStringLiteral("TZvWideWord.Multiply: overflow"));
    EXPECT_EQ(a.Length, TZvWideWord::BufferSize);
    EXPECT_EQ(a.Digits[0], 0xFF);
    EXPECT_EQ(a.Digits[256], 0x00);
}

// Products and long divisions of random operands against OpenSSL's BIGNUM.
TEST(ZvWideWord, DivisionAndModPowAgreeWithOpenSsl) {
    std::mt19937 rng(1234);
    BN_CTX *ctx = BN_CTX_new();
    for (int round = 0; round < 300; ++round) {
        const QByteArray u = randomBytes(rng, 1 + static_cast<int>(rng() % 200));
        const QByteArray v = randomBytes(rng, 1 + static_cast<int>(rng() % 60));
        TZvWideWord q, r, d;
        q.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(u.constData()), u.size());
        d.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(v.constData()), v.size());
        q.Divide(d, r);
        BIGNUM *bu =
            BN_bin2bn(reinterpret_cast<const unsigned char *>(u.constData()), u.size(), nullptr);
        BIGNUM *bv =
            BN_bin2bn(reinterpret_cast<const unsigned char *>(v.constData()), v.size(), nullptr);
        BIGNUM *bq = BN_new(), *br = BN_new();
        BN_div(bq, br, bu, bv, ctx);
        char *hq = BN_bn2hex(bq), *hr = BN_bn2hex(br);
        EXPECT_EQ(q.ToHex().toLatin1(), QByteArray(hq) == "0" ? QByteArray() : QByteArray(hq))
            << round;
        EXPECT_EQ(r.ToHex().toLatin1(), QByteArray(hr) == "0" ? QByteArray() : QByteArray(hr))
            << round;
        OPENSSL_free(hq);
        OPENSSL_free(hr);
        BN_free(bu);
        BN_free(bv);
        BN_free(bq);
        BN_free(br);
    }
    // Odd moduli take the Montgomery path, even ones square and multiply.
    for (int round = 0; round < 8; ++round) {
        const QByteArray m = randomBytes(rng, 128), e = randomBytes(rng, 128),
                         data = randomBytes(rng, 16);
        QByteArray modulus = m;
        modulus[127] = static_cast<char>(round % 2 ? modulus[127] | 1 : modulus[127] & ~1);
        const QByteArray result = RsaEncryptBytes(modulus, e, data);
        BIGNUM *bm =
            BN_bin2bn(reinterpret_cast<const unsigned char *>(modulus.constData()), 128, nullptr);
        BIGNUM *be =
            BN_bin2bn(reinterpret_cast<const unsigned char *>(e.constData()), 128, nullptr);
        BIGNUM *bd =
            BN_bin2bn(reinterpret_cast<const unsigned char *>(data.constData()), 16, nullptr);
        if (static_cast<std::uint8_t>(data[0]) <= 1) // the 0x01 byte above the data
            BN_set_bit(bd, 128);
        BIGNUM *out = BN_new();
        BN_mod_exp(out, bd, be, bm, ctx);
        char *h = BN_bn2hex(out);
        EXPECT_EQ(bnHex(result), QByteArray(h)) << round;
        OPENSSL_free(h);
        BN_free(bm);
        BN_free(be);
        BN_free(bd);
        BN_free(out);
    }
    // Moduli of every length up to 128 bytes, whole limbs or not, with bases from one byte up
    // to the modulus' length (the base goes into Montgomery form by a shift and a division).
    for (int round = 0; round < 60; ++round) {
        const int modulusBytes = 2 + static_cast<int>(rng() % 127);
        QByteArray modulus = randomBytes(rng, modulusBytes);
        modulus[0] = static_cast<char>(modulus[0] | 0x40);
        modulus[modulusBytes - 1] = static_cast<char>(modulus[modulusBytes - 1] | 1);
        const QByteArray base = randomBytes(rng, 1 + static_cast<int>(rng() % modulusBytes));
        const QByteArray exponent = randomBytes(rng, 1 + static_cast<int>(rng() % 4));
        const auto word = [](const QByteArray &bytes) {
            TZvWideWord w;
            w.AssignBytesTrimmed(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                 static_cast<int>(bytes.size()));
            return w;
        };
        TZvWideWord value = word(base);
        value.ModPow(word(exponent), word(modulus));
        const auto bn = [](const QByteArray &bytes) {
            return BN_bin2bn(reinterpret_cast<const unsigned char *>(bytes.constData()),
                             static_cast<int>(bytes.size()), nullptr);
        };
        BIGNUM *bm = bn(modulus), *bb = bn(base), *be = bn(exponent), *out = BN_new();
        BN_mod_exp(out, bb, be, bm, ctx);
        char *h = BN_bn2hex(out);
        EXPECT_EQ(value.ToHex().toLatin1(), QByteArray(h) == "0" ? QByteArray() : QByteArray(h))
            << round;
        OPENSSL_free(h);
        BN_free(bm);
        BN_free(bb);
        BN_free(be);
        BN_free(out);
    }
    BN_CTX_free(ctx);

    // A modulus over 128 bytes overflows as soon as the residues grow.
    const QByteArray longModulus(130, '\x7f');
    EXPECT_EQ(errorOf([&] {
                  RsaEncryptBytes(longModulus, QByteArray(4, '\x7f'), longModulus.left(100));
              }),
              QStringLiteral("TZvWideWord.Multiply: overflow"));
}

TEST(SignedArith, ConversionsAndErrorCodes) {
    mp_clear_error();
    const TMpNumber minus42 = string_to_mp("-42");
    EXPECT_EQ(minus42.w[0], -1);
    EXPECT_EQ(minus42.w[1], 42);
    EXPECT_EQ(mp_to_string(minus42), QByteArray("-42"));
    EXPECT_EQ(mp_to_string(string_to_mp("")), QByteArray("0"));
    const QByteArray big = "1329227995784915872903807060280344575"; // 2^120 - 1
    EXPECT_EQ(mp_to_string(string_to_mp(big)), big);
    EXPECT_EQ(string_to_mp(big).w[0], 8);
    EXPECT_EQ(mp_last_error(), mpeNone);

    EXPECT_EQ(string_to_mp("12a4"), mp_zero);
    EXPECT_EQ(mp_last_error(), mpeBadCharacter);
    EXPECT_STREQ(mp_error_text(mpeBadCharacter), "Bad character in string_to_mp.");

    int remainder = -1;
    const TMpNumber q = mpdivi(string_to_mp("-7"), 2, remainder);
    EXPECT_EQ(mp_to_string(q), QByteArray("-4"));
    EXPECT_EQ(remainder, 1);
    EXPECT_EQ(mpdivi(minus42, 0, remainder), mp_one);
    EXPECT_EQ(mp_last_error(), mpeDiviByZero);

    TMpNumber rest;
    EXPECT_EQ(mp_to_string(mpdiv(string_to_mp("-100000000000"), string_to_mp("3"), rest)),
              QByteArray("-33333333334"));
    EXPECT_EQ(mp_to_string(rest), QByteArray("2"));
    mpdiv(minus42, mp_zero, rest);
    EXPECT_EQ(mp_last_error(), mpeDivByZero);

    EXPECT_EQ(mp_to_string(mpadd(string_to_mp("-5"), string_to_mp("12"))), QByteArray("7"));
    EXPECT_EQ(mp_to_string(mpadd(string_to_mp("5"), string_to_mp("-12"))), QByteArray("-7"));
    EXPECT_EQ(mp_to_string(mpadd(string_to_mp("32767"), mp_one)), QByteArray("32768"));
    EXPECT_EQ(mpadd(string_to_mp(big), mp_one), mp_zero);
    EXPECT_EQ(mp_last_error(), mpeAddLength);

    EXPECT_EQ(mp_to_string(mpsub0(string_to_mp("-10"), string_to_mp("3"))), QByteArray("7"));
    EXPECT_EQ(mpsub0(string_to_mp("3"), string_to_mp("10")), mp_zero);
    EXPECT_EQ(mp_last_error(), mpeSubMagnitude);

    EXPECT_EQ(mp_to_string(mpmul(string_to_mp("-123456789"), string_to_mp("987654321"))),
              QByteArray("-121932631112635269"));
    EXPECT_EQ(mpmul(string_to_mp(big), string_to_mp("2")), mp_zero);
    EXPECT_EQ(mp_last_error(), mpeOverflow);
    EXPECT_EQ(mp_to_string(mpmuli(string_to_mp("-3"), 5)), QByteArray("-15"));
    EXPECT_EQ(mp_to_string(mpaddi(string_to_mp("-3"), 5)), QByteArray("-8"));
    EXPECT_EQ(mpcmp(string_to_mp("-9"), string_to_mp("8")), 1);
    EXPECT_EQ(mpcmp(mp_two, string_to_mp("-2")), 0);
}

// SPDX-License-Identifier: MIT
#include "PopupMessages.h"
#include "PopupProtocol.h"
#include "TestSupport.h"

#include <openssl/evp.h>

#include <cmath>

using namespace popup;

namespace {

const QByteArray FF("\x0c");

// A response message with a correct length field around the given body.
QByteArray response(const QByteArray &body, const QByteArray &identifier = "ZVPOPUP1005") {
    const QByteArray length = QByteArray::number(19 + body.size()).rightJustified(6, '0');
    return identifier + FF + length + FF + body;
}

QByteArray fields(std::initializer_list<const char *> parts) {
    QByteArray body;
    for (const char *p : parts)
        body += QByteArray(p) + FF;
    return body;
}

// AES-128-CBC of the padded body under session key XOR mask, written with OpenSSL directly.
QByteArray encryptedResponse(const QByteArray &body, const TCtrChain::SessionKey &session) {
    QByteArray padded = body;
    const int pad = 16 - body.size() % 16;
    padded.append(pad, static_cast<char>(pad));
    unsigned char key[16];
    for (int k = 0; k < 16; ++k)
        key[k] = session[k] ^ TCtrChain::KeyMask[k];
    const unsigned char iv[16] = {};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, key, iv);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    QByteArray out(padded.size(), '\0');
    int n = 0;
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n,
                      reinterpret_cast<const unsigned char *>(padded.constData()), padded.size());
    EVP_CIPHER_CTX_free(ctx);
    const QByteArray length = QByteArray::number(19 + out.size()).rightJustified(6, '0');
    return "ZVPOPUP1005" + FF + length + FF + out;
}

QStringList toFields(std::initializer_list<const char *> values) {
    QStringList list{QStringLiteral("ZVPOPUP1005"), QStringLiteral("000000"),
                     QStringLiteral("CMD")};
    for (const char *v : values)
        list << QString::fromUtf8(v);
    return list;
}

template <typename F> QString errorOf(F f) {
    try {
        f();
    } catch (const zv::ZvError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(PopupFraming, MakePacketPlainAndPadded) {
    const QByteArray prefix = HeaderPrefix(1005);
    EXPECT_EQ(prefix, QByteArray("ZVPOPUP1005\x0c"));
    EXPECT_EQ(MakePacket(prefix, RequestText(QStringLiteral("GETPUBLICKEY"), {}), nullptr),
              QByteArray("ZVPOPUP1005\x0c"
                         "000032\x0c"
                         "GETPUBLICKEY\x0c"));
    // Plain: the length counts UTF-8 bytes and no padding.
    const QByteArray umlaut =
        MakePacket(prefix, RequestText(QStringLiteral("X"), {QStringLiteral("\u00e4")}), nullptr);
    EXPECT_EQ(umlaut, QByteArray("ZVPOPUP1005\x0c"
                                 "000024\x0c"
                                 "X\x0c\xc3\xa4\x0c"));

    // A 16-byte body gains a whole block of 0x10 bytes, visible after decryption.
    TCtrChain::SessionKey key{};
    key[3] = 9;
    const QString sixteen = RequestText(QStringLiteral("GETSQLDATA"), {QStringLiteral("1234")});
    ASSERT_EQ(sixteen.toUtf8().size(), 16);
    QByteArray packet = MakePacket(prefix, sixteen, &key);
    ASSERT_EQ(packet.size(), 19 + 32);
    EXPECT_EQ(packet.left(19), QByteArray("ZVPOPUP1005\x0c"
                                          "000051\x0c"));
    auto *body = reinterpret_cast<std::uint8_t *>(packet.data()) + 19;
    TCtrChain(key).Decrypt(body, body, 32);
    EXPECT_EQ(packet.mid(19, 16), sixteen.toUtf8());
    EXPECT_EQ(packet.mid(35), QByteArray(16, '\x10'));

    EXPECT_EQ(errorOf([&] { MakePacket(prefix, QString(999990, QLatin1Char('a')), nullptr); }),
              QStringLiteral("Request too large for a popup message: 1000009 bytes"));
}

TEST(PopupFraming, CheckHeaderCases) {
    const struct {
        const char *name;
        QByteArray header;
        bool recognised;
        int size;
        const char *error;
    } cases[] = {
        {"ours",
         "ZVPOPUP1005\x0c"
         "000032\x0c",
         true, 32, nullptr},
        {"lower case passes here",
         "zvpopup1005\x0c"
         "000040\x0c",
         true, 40, nullptr},
        {"foreign", "HTTP/1.1 200 OK\r\n\r\n", false, 0, nullptr},
        {"letters in length",
         "ZVPOPUP1005\x0c"
         "00a032\x0c",
         false, 0, "Malformed Size field in Popup Message Header"},
        {"negative length",
         "ZVPOPUP1005\x0c"
         "-00032\x0c",
         false, 0, "Malformed Size field in Popup Message Header"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int size = 0;
        if (c.error) {
            EXPECT_EQ(errorOf([&] { CheckHeader(c.header, size); }), QString::fromLatin1(c.error));
            continue;
        }
        EXPECT_EQ(CheckHeader(c.header, size), c.recognised);
        if (c.recognised) {
            EXPECT_EQ(size, c.size);
        }
    }
}

TEST(PopupFraming, SplitResponseCasesAndErrors) {
    const QByteArray good = response(fields({"PUBLICKEY", "ABCD", "03"}));
    const TResponse split = SplitResponse(good, nullptr);
    EXPECT_EQ(split.Fields,
              QStringList({"ZVPOPUP1005", good.mid(12, 6), "PUBLICKEY", "ABCD", "03"}));
    EXPECT_EQ(split.ServerVersion, 1005);
    // Bytes after the last separator form one more field; empty fields are kept.
    EXPECT_EQ(SplitResponse(response("A\x0c\x0c"
                                     "tail"),
                            nullptr)
                  .Fields.mid(2),
              QStringList({"A", "", "tail"}));
    EXPECT_EQ(SplitResponse(response(fields({"X", "\xc3\xa9t\xc3\xa9"})), nullptr).Fields[3],
              QStringLiteral("\u00e9t\u00e9"));

    QByteArray wrongLength = good;
    wrongLength.replace(12, 6, "000099");
    const struct {
        const char *name;
        QByteArray message;
        const char *error;
    } cases[] = {
        {"empty", QByteArray(), "Received Header is incomplete"},
        {"header only", response(QByteArray()), "Received Header is incomplete"},
        {"three fields, last unterminated",
         "ZVPOPUP1005\x0c"
         "000020\x0c"
         "A",
         nullptr},
        {"no separators", QByteArray(24, 'Z'), "Missing parameters in header"},
        {"lower-case identifier", response(fields({"X"}), "zvpopup1005"),
         "False Identifier in header"},
        {"version letters", response(fields({"X"}), "ZVPOPUPab05"), "Incorrect Version format"},
        {"length letters",
         "ZVPOPUP1005\x0c"
         "0000x2\x0c"
         "CMD\x0c",
         "Incorrect Size format"},
        {"length mismatch", wrongLength,
         "Size mismatch between given size and actual size of data"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString error = errorOf([&] { SplitResponse(c.message, nullptr); });
        EXPECT_EQ(error, c.error ? QString::fromLatin1(c.error) : QStringLiteral("(no error)"));
    }
}

TEST(PopupFraming, EncryptedResponsesAndPadding) {
    TCtrChain::SessionKey key;
    for (int k = 0; k < 16; ++k)
        key[k] = static_cast<std::uint8_t>(k * 17 + 3);
    // Bodies of 15, 16 and 17 bytes: one, two and two blocks.
    for (const QByteArray &body : {QByteArray("GETSQLDATA\x0c"
                                              "abc\x0c"),
                                   QByteArray("GETSQLDATA\x0c"
                                              "abcd\x0c"),
                                   QByteArray("GETSQLDATA\x0c"
                                              "abcde\x0c")}) {
        SCOPED_TRACE(body.size());
        const TResponse split = SplitResponse(encryptedResponse(body, key), &key);
        EXPECT_EQ(split.Fields.size(), 4);
        EXPECT_EQ(split.Fields[3].toUtf8(), body.mid(11, body.size() - 12));
    }

    // Pad counts the sender could not have written are refused, never trusted.
    const auto withLastByte = [&](std::uint8_t last, int blocks) {
        QByteArray plain(16 * blocks, 'p');
        plain[plain.size() - 1] = static_cast<char>(last);
        QByteArray msg = encryptedResponse(plain.left(plain.size() - 16), key);
        // Re-encrypt the exact plain bytes with our own last byte.
        msg = msg.left(19);
        unsigned char k2[16];
        for (int k = 0; k < 16; ++k)
            k2[k] = key[k] ^ TCtrChain::KeyMask[k];
        const unsigned char iv[16] = {};
        EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
        EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, k2, iv);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        QByteArray out(plain.size(), '\0');
        int n = 0;
        EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n,
                          reinterpret_cast<const unsigned char *>(plain.constData()), plain.size());
        EVP_CIPHER_CTX_free(ctx);
        msg.replace(12, 6, QByteArray::number(19 + out.size()).rightJustified(6, '0'));
        return msg + out;
    };
    EXPECT_EQ(errorOf([&] { SplitResponse(withLastByte(0, 2), &key); }),
              QStringLiteral("Malformed padding in response"));
    EXPECT_EQ(errorOf([&] { SplitResponse(withLastByte(17, 2), &key); }),
              QStringLiteral("Malformed padding in response"));
    // A whole-block pad after a one-block body leaves too little for the header fields.
    EXPECT_EQ(errorOf([&] { SplitResponse(withLastByte(16, 1), &key); }),
              QStringLiteral("Missing parameters in header"));
    // A short garbage body cannot be read past its end.
    EXPECT_NE(errorOf([&] { SplitResponse(response("xyz"), &key); }), QStringLiteral("(no error)"));
}

// A connection keeps one chain for all its messages; each message must still read and write as
// under a chain of its own, also after a message the chain refused.
TEST(PopupFraming, KeptChainCiphersEveryMessageAfresh) {
    TCtrChain::SessionKey key;
    for (int k = 0; k < 16; ++k)
        key[k] = static_cast<std::uint8_t>(200 - 7 * k);
    TCtrChain kept(key);
    const QByteArray prefix = HeaderPrefix(1005);
    const QString requests[] = {
        RequestText(QStringLiteral("INITNEWJOB"), {QStringLiteral("ws"), QStringLiteral("q")}),
        RequestText(QStringLiteral("GETNEXTDESCRIPTOR"), {QStringLiteral("4711")}),
        RequestText(QStringLiteral("X"), {QString(40, QLatin1Char('y'))}),
        RequestText(QStringLiteral("GETSQLDATA"), {QStringLiteral("1234")}),
    };
    for (const QString &request : requests) {
        SCOPED_TRACE(request.toStdString());
        EXPECT_EQ(MakePacket(prefix, request, kept), MakePacket(prefix, request, &key));
        const QByteArray body = request.toUtf8();
        const TResponse split = SplitResponse(encryptedResponse(body, key), kept);
        EXPECT_EQ(split.Fields.mid(2),
                  SplitResponse(encryptedResponse(body, key), &key).Fields.mid(2));
        EXPECT_EQ(split.Fields[2], request.section(QChar(Separator), 0, 0));
        EXPECT_NE(errorOf([&] { SplitResponse(response("xyz0123456789abc"), kept); }),
                  QStringLiteral("(no error)"));
    }

    // The protocol object keeps a chain too, and makes it again when its session key changes.
    TPopupProtocol p;
    p.EncryptionOn = true;
    for (std::uint8_t first : {1, 2, 1}) {
        p.SessionKey = key;
        p.SessionKey[0] = first;
        EXPECT_EQ(p.MakePacket(requests[0]), MakePacket(prefix, requests[0], &p.SessionKey));
    }
}

TEST(PopupParsers, InitNewJob) {
    TJobSettings job;
    job.TransactionNumber = 77;
    ParseInitNewJob(toFields({}), job);
    EXPECT_EQ(job.TransactionNumber, 77);
    EXPECT_TRUE(job.AllowLastAnswers);
    EXPECT_TRUE(job.QuestionGroupName.isEmpty());

    job = TJobSettings();
    ParseInitNewJob(toFields({"12", "0", "x", "dms=1", "127", "Group A"}), job);
    EXPECT_EQ(job.TransactionNumber, 12);
    EXPECT_EQ(job.DmsDllConfig, QStringLiteral("dms=1"));
    EXPECT_TRUE(job.AutoAdvance && job.AcceptDmsValue && job.HideShortcuts && job.SkipHistory &&
                job.CostCenterMandatory && job.ShowAllCostcenters && job.AllowLastAnswers);
    EXPECT_EQ(job.QuestionGroupName, QStringLiteral("Group A"));

    ParseInitNewJob(toFields({"13", "0", "", "", "0", "G"}), job);
    EXPECT_FALSE(job.AutoAdvance || job.AcceptDmsValue || job.HideShortcuts || job.SkipHistory ||
                 job.CostCenterMandatory || job.ShowAllCostcenters);
    EXPECT_TRUE(job.AllowLastAnswers);

    ParseInitNewJob(toFields({"noqueue", "1", "", "", "flags?", "G"}), job);
    EXPECT_EQ(job.TransactionNumber, -1);

    ParseInitNewJob(toFields({"5", "1", "", "", "34"}), job);
    EXPECT_TRUE(job.AutoAdvance);
    EXPECT_TRUE(job.CostCenterMandatory);
    EXPECT_FALSE(job.SkipHistory);
    EXPECT_EQ(job.QuestionGroupName, QStringLiteral("G"));

    EXPECT_EQ(errorOf([&] { ParseInitNewJob(toFields({"NOQUEUE"}), job); }),
              QStringLiteral("Print Queue not found"));
}

TEST(PopupParsers, DescriptorTable) {
    TDescriptorContext context;
    context.ProcessUserName = QStringLiteral("osuser");
    const auto descriptor = [](const char *type, const char *mandatory, const char *defaultAnswer,
                               const char *list, const char *options) {
        return toFields({"Q1", "Prompt", "Desc", type, "20", "100.5", "0", mandatory, defaultAnswer,
                         list, options, "Cat"});
    };

    TQuestionDescriptor q;
    ASSERT_TRUE(ParseDescriptor(descriptor("LIST", "0", "", "a\r\nb\nc", "0"), context, q));
    EXPECT_EQ(q.FormType, QStringLiteral("listform"));
    EXPECT_EQ(q.Choices, QStringList({"<none>", "a", "b", "c"}));
    EXPECT_EQ(q.MaxLength, 20);
    EXPECT_DOUBLE_EQ(q.ValidateMax, 100.5);
    EXPECT_EQ(q.Category, QStringLiteral("Cat"));

    const struct {
        const char *name;
        QStringList fields;
        const char *formType;
        QStringList choices;
        const char *defaultAnswer;
    } cases[] = {
        {"mandatory list has no none",
         descriptor("list", "1", "", "a", "0"),
         "listform",
         {"a"},
         ""},
        {"empty list has no none",
         descriptor("guestaccounts", "0", "", "", "0"),
         "guestcardform",
         {},
         ""},
        {"static user name",
         descriptor("string", "0", "StaticUserName", "x", "0"),
         "stringform",
         {},
         "osuser"},
        {"not quite",
         descriptor("string", "0", "staticusernames", "", "0"),
         "stringform",
         {},
         "staticusernames"},
        {"sql statement", descriptor("SqlList", "0", "Stmt", "P1\rP2", "0"), "sqllistform", {}, ""},
        {"balloon", descriptor("balloon", "0", "", "", "0"), "balloonform", {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ParseDescriptor(c.fields, context, q));
        EXPECT_EQ(q.FormType, QString::fromLatin1(c.formType));
        EXPECT_EQ(q.Choices, c.choices);
        EXPECT_EQ(q.DefaultAnswer, QString::fromLatin1(c.defaultAnswer));
    }
    ASSERT_TRUE(ParseDescriptor(descriptor("sqllist", "0", "Stmt", "P1\rP2", "0"), context, q));
    EXPECT_EQ(q.SqlStatement, QStringLiteral("Stmt"));
    EXPECT_EQ(q.SqlLines, QStringList({"P1", "P2"}));

    context.SignUpUserName = QStringLiteral("enrolled");
    ASSERT_TRUE(ParseDescriptor(descriptor("string", "0", "staticusername", "", "0"), context, q));
    EXPECT_EQ(q.DefaultAnswer, QStringLiteral("enrolled"));

    ASSERT_TRUE(ParseDescriptor(descriptor("string", "0", "", "", "357"), context, q));
    EXPECT_TRUE(q.Secure && q.AutoSelectSingle && q.ConfirmAnswer);
    EXPECT_FALSE(q.SkipIfEmpty);
    EXPECT_EQ(q.SaveLastAnswer, 96);

    context.Locale = QLocale(QLocale::German, QLocale::Germany);
    QStringList bounds = descriptor("float", "0", "", "", "0");
    bounds[8] = QStringLiteral("2.5");
    ASSERT_TRUE(ParseDescriptor(bounds, context, q));
    EXPECT_DOUBLE_EQ(q.ValidateMax, 2.5);

    EXPECT_FALSE(ParseDescriptor(toFields({}), context, q));

    QStringList arabic = descriptor("string", "0", "", "", "0");
    arabic[4] = QStringLiteral("\u0645\u0631\u062d\u0628\u0627");
    context.ArabicDisplayable = true;
    EXPECT_TRUE(ParseDescriptor(arabic, context, q));
    context.ArabicDisplayable = false;

    bounds[8] = QStringLiteral("abc");
    const struct {
        const char *name;
        QStringList fields;
        const char *error;
    } errors[] = {
        {"count", toFields({"a"}), "Mal formed response for GETNEXTDESCRIPTOR"},
        {"type", descriptor("Date", "0", "", "", "0"),
         "unknown Datatype: Date in Question response"},
        {"save flag", descriptor("string", "0", "", "", "64"),
         "Invalid SaveLastAnswer flag:64 Question:Q1"},
        {"arabic", arabic, "Unable to display Arabic language"},
        {"bound", bounds, "'abc' is not a valid floating point value"},
    };
    for (const auto &e : errors) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(errorOf([&] { ParseDescriptor(e.fields, context, q); }),
                  QString::fromLatin1(e.error));
    }
    EXPECT_THROW(ParseDescriptor(arabic, context, q), EArabicLanguageException);
    EXPECT_TRUE(CodesetShowsArabic("UTF-8"));
    EXPECT_TRUE(CodesetShowsArabic("utf8"));
    EXPECT_TRUE(CodesetShowsArabic("ISO-8859-6"));
    EXPECT_FALSE(CodesetShowsArabic("ISO-8859-1"));
    EXPECT_FALSE(CodesetShowsArabic("ANSI_X3.4-1968"));
}

// Bounds in every form a server might write them read as the locale's own number parser reads
// them once "." has become the locale's decimal point, whichever way the client takes to get there.
TEST(PopupParsers, BoundsReadAsTheLocaleReadsThem) {
    QLocale rejectTrailingZeroes(QLocale::English, QLocale::UnitedStates);
    rejectTrailingZeroes.setNumberOptions(QLocale::RejectTrailingZeroesAfterDot);
    const QLocale locales[] = {QLocale::c(),
                               QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::French, QLocale::Switzerland),
                               QLocale(QLocale::Arabic, QLocale::Egypt),
                               QLocale(QLocale::Persian, QLocale::Iran),
                               rejectTrailingZeroes,
                               QLocale::system()};
    const char *const texts[] = {"0",
                                 "40",
                                 "1000.5",
                                 "0.25",
                                 "-3.75",
                                 "-0",
                                 "007",
                                 "1.50",
                                 "12.",
                                 ".5",
                                 "1e3",
                                 " 1.5",
                                 "1,5",
                                 "1.000.5",
                                 "--1",
                                 "abc",
                                 "",
                                 "+2",
                                 "123456789012345678901234567890.5",
                                 "1234567890123456789012345678901234"};
    for (const QLocale &locale : locales) {
        for (const char *text : texts) {
            SCOPED_TRACE(locale.name().toStdString() + " " + text);
            QString localised = QString::fromLatin1(text);
            localised.replace(QLatin1Char('.'), locale.decimalPoint());
            QLocale strict = locale;
            strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
            bool ok = false;
            const double expected = strict.toDouble(localised, &ok);

            TDescriptorContext context;
            context.Locale = locale;
            TQuestionDescriptor q;
            const QStringList descriptor =
                toFields({"Q1", "P", "D", "float", "20", text, "0", "0", "", "", "0", "C"});
            const QString error = errorOf([&] { ParseDescriptor(descriptor, context, q); });
            if (ok) {
                EXPECT_EQ(error, QStringLiteral("(no error)"));
                EXPECT_EQ(q.ValidateMax, expected);
                EXPECT_EQ(std::signbit(q.ValidateMax), std::signbit(expected));
            } else {
                EXPECT_EQ(
                    error,
                    QStringLiteral("'%1' is not a valid floating point value").arg(localised));
            }
        }
    }
}

TEST(PopupParsers, LookupVerbs) {
    EXPECT_EQ(ParseSqlList(toFields({"DBOK", "", "42"})), 42);
    QStringList rows{"r0"};
    EXPECT_TRUE(ParseSqlData(toFields({"r1\r\nr2\r\n"}), rows));
    EXPECT_FALSE(ParseSqlData(toFields({""}), rows));
    EXPECT_EQ(rows, QStringList({"r0", "r1", "r2"}));
    EXPECT_TRUE(ParseVerifyLastAnswers(toFields({"VALID"})));
    EXPECT_FALSE(ParseVerifyLastAnswers(toFields({"invalid"})));

    QStringList codes{"old"}, descriptions{"old"};
    ParseFindUserCodes(toFields({"dbok"}), codes, descriptions);
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(descriptions, QStringList({"old"}));
    ParseFindUserCodes(toFields({"dbok", "A\nB"}), codes, descriptions);
    EXPECT_EQ(codes, QStringList({"A", "B"}));
    EXPECT_TRUE(descriptions.isEmpty());
    ParseListRecentUserCodes(toFields({"dbok", "A\rB", "Alpha\rBeta"}), codes, descriptions);
    EXPECT_EQ(descriptions, QStringList({"Alpha", "Beta"}));

    TLastAnswerHistory history;
    ParseListLastAnswers(toFields({"dbok", "3", "2", "c1\nd1\nc2\nd2\nc3"}), history);
    EXPECT_EQ(history.CountCombinations, 3);
    ASSERT_EQ(history.History.size(), 1);
    EXPECT_EQ(history.History[0][1].Code, QStringLiteral("c2"));
    EXPECT_EQ(history.History[0][1].Description, QStringLiteral("d2"));
    ParseListLastAnswers(toFields({"dbok", "1", "0", "c1\nd1"}), history);
    EXPECT_TRUE(history.History.isEmpty());

    const struct {
        const char *name;
        std::function<void()> parse;
        const char *error;
    } errors[] = {
        {"sql status",
         [] {
             ParseSqlList(toFields({"dberror", "", "1"}));
         },
         "Failed to execute SQL on server: dberror"},
        {"sql no status", [] { ParseSqlList(toFields({})); }, "Failed to execute SQL on server: "},
        {"sql count",
         [] {
             ParseSqlList(toFields({"dbok", "1"}));
         },
         "Mal formed response for GETSQLLIST"},
        {"sql number",
         [] {
             ParseSqlList(toFields({"dbok", "", "x"}));
         },
         "Invalid SQL Transaction number received"},
        {"sql data",
         [] {
             QStringList r;
             ParseSqlData(toFields({"a", "b"}), r);
         },
         "Mal formed response for GETSQLDATA"},
        {"verify", [] { ParseVerifyLastAnswers(toFields({})); },
         "Mal formed response for VERIFYLASTANSWERS"},
        {"recent count",
         [] {
             QStringList a, b;
             ParseListRecentUserCodes(toFields({"dbok"}), a, b);
         },
         "Mal formed response for LISTRECENTUSERCODES"},
        {"recent status",
         [] {
             QStringList a, b;
             ParseListRecentUserCodes(toFields({"no", ""}), a, b);
         },
         "Request LISTRECENTUSERCODES failed"},
        {"find count",
         [] {
             QStringList a, b;
             ParseFindUserCodes(toFields({}), a, b);
         },
         "Mal formed response for FINDUSERCODES"},
        {"find status",
         [] {
             QStringList a, b;
             ParseFindUserCodes(toFields({"x"}), a, b);
         },
         "Request FINDUSERCODES failed"},
        {"last count",
         [] {
             TLastAnswerHistory h;
             ParseListLastAnswers(toFields({"dbok"}), h);
         },
         "Mal formed response for LISTLASTANSWERS"},
        {"last status",
         [] {
             TLastAnswerHistory h;
             ParseListLastAnswers(toFields({"busy", "1", "1", ""}), h);
         },
         "Request LISTLASTANSWERS failed: busy"},
        {"last combos",
         [] {
             TLastAnswerHistory h;
             ParseListLastAnswers(toFields({"dbok", "x", "1", ""}), h);
         },
         "Invalid CountCombinations format"},
        {"last categories",
         [] {
             TLastAnswerHistory h;
             ParseListLastAnswers(toFields({"dbok", "1", "", ""}), h);
         },
         "Invalid CountCategories format"},
        {"public key",
         [] {
             QString m, e;
             ParsePublicKey(toFields({"AB"}), m, e);
         },
         "Malformed response for GETPUBLICKEY"},
    };
    for (const auto &e : errors) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(errorOf(e.parse), QString::fromLatin1(e.error));
    }
}

// Whatever bytes arrive, splitting and parsing ends in a result or an error, never a crash.
TEST(PopupParsers, ArbitraryBytesNeverCrash) {
    std::srand(7);
    const TCtrChain::SessionKey key{};
    TDescriptorContext context;
    for (int round = 0; round < 2000; ++round) {
        QByteArray body(std::rand() % 80, '\0');
        for (auto &c : body)
            c = "\x0c\x0d\x0a"
                "01a9%-"[std::rand() % 9];
        const QByteArray message = response(body);
        for (const TCtrChain::SessionKey *k :
             {static_cast<const TCtrChain::SessionKey *>(nullptr), &key}) {
            try {
                const TResponse r = SplitResponse(message, k);
                TJobSettings job;
                TQuestionDescriptor q;
                TLastAnswerHistory h;
                QStringList a, b;
                for (auto parse : std::initializer_list<std::function<void()>>{
                         [&] { ParseInitNewJob(r.Fields, job); },
                         [&] { ParseDescriptor(r.Fields, context, q); },
                         [&] { ParseSqlList(r.Fields); }, [&] { ParseSqlData(r.Fields, a); },
                         [&] { ParseListLastAnswers(r.Fields, h); },
                         [&] { ParseFindUserCodes(r.Fields, a, b); },
                         [&] { ParseListRecentUserCodes(r.Fields, a, b); }}) {
                    try {
                        parse();
                    } catch (const zv::ZvError &) {
                    }
                }
            } catch (const zv::ZvError &) {
            }
        }
    }
}

// Codes and descriptions of a look-up answer become one value per code.
TEST(CostCenterList, PairsEveryCodeWithItsDescription) {
    const struct {
        QStringList codes;
        QStringList descriptions;
        TCostCenterList expected;
    } cases[] = {
        {{"A", "B"}, {"Alpha", "Beta"}, {{"A", "Alpha"}, {"B", "Beta"}}},
        {{"A", "B"}, {"Alpha"}, {{"A", "Alpha"}, {"B", ""}}},
        {{"A"}, {"Alpha", "Beta"}, {{"A", "Alpha"}}},
        {{}, {"Alpha"}, {}},
    };
    for (const auto &c : cases) {
        const TCostCenterList list = PairCostCenters(c.codes, c.descriptions);
        EXPECT_EQ(list, c.expected) << c.codes.join(',').toStdString();
        EXPECT_EQ(CostCenterCodes(list), c.codes);
    }
}

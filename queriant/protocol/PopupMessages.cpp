// SPDX-License-Identifier: MIT
#include "PopupMessages.h"

#include "Log.h"
#include "SecureWipe.h"

#include <algorithm>
#include <charconv>

namespace popup {

namespace {

const QString NoQueue = QStringLiteral("NOQUEUE");

[[noreturn]] void fail(const QString &message) {
    throw EPopupProtocolError(message);
}

bool isDigits(const QByteArray &text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number, optionally signed, as the server writes them.
bool toNumber(const QString &text, int &value) {
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

int numberOr(const QString &text, int fallback) {
    int value = fallback;
    return toNumber(text, value) ? value : fallback;
}

QString field(const QStringList &fields, int index) {
    return index < fields.size() ? fields[index] : QString();
}

bool isStatusOk(const QString &status) {
    return status.compare(QLatin1String("dbok"), Qt::CaseInsensitive) == 0;
}

// Digits with an optional "-" and fraction, no superfluous leading zero and at most 32
// characters: such text reads as the same number in every locale that writes ASCII digits and a
// plain "-", whatever its decimal point, and cannot overflow.
bool isPlainDecimal(const QString &text, bool &negative) {
    const qsizetype n = text.size();
    if (n == 0 || n > 32)
        return false;
    const auto digit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    negative = text[0] == u'-';
    qsizetype k = negative ? 1 : 0;
    const qsizetype first = k;
    while (digit(k))
        ++k;
    if (k == first || (text[first] == u'0' && k - first > 1))
        return false;
    if (k == n)
        return true;
    if (text[k] != u'.' || !digit(k + 1))
        return false;
    for (++k; digit(k);)
        ++k;
    return k == n;
}

// The locale's own parser asks the system locale for every symbol on each call, which made it
// the largest cost of a descriptor; plain decimals are read directly where that gives the same
// value (both round correctly).
bool readPlainBound(const QString &text, const QLocale &locale, double &value) {
    bool negative = false;
    if (!isPlainDecimal(text, negative) ||
        (locale.numberOptions() & QLocale::RejectTrailingZeroesAfterDot) ||
        locale.zeroDigit() != QLatin1String("0") ||
        (negative && locale.negativeSign() != QLatin1String("-")))
        return false;
    char ascii[32];
    const qsizetype n = text.size();
    for (qsizetype k = 0; k < n; ++k)
        ascii[k] = static_cast<char>(text[k].unicode());
    const auto result = std::from_chars(ascii, ascii + n, value);
    return result.ec == std::errc() && result.ptr == ascii + n;
}

// Bounds are sent with "." as decimal point; they are read with the user's separator.
double toBound(const QString &text, const QLocale &locale) {
    double plain = 0;
    if (readPlainBound(text, locale, plain))
        return plain;
    QString localised = text;
    localised.replace(QLatin1Char('.'), locale.decimalPoint());
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(localised, &ok);
    if (!ok)
        fail(QStringLiteral("'%1' is not a valid floating point value").arg(localised));
    return value;
}

QString formTypeOf(const QString &keyword) {
    static const char *const table[][2] = {
        {"string", "stringform"},
        {"integer", "integerform"},
        {"float", "floatform"},
        {"money", "moneyform"},
        {"phonenumber", "phonenumberform"},
        {"list", "listform"},
        {"sqllist", "sqllistform"},
        {"costcenter", "costcenterform"},
        {"balloon", "balloonform"},
        {"guestaccounts", "guestcardform"},
    };
    const QString lower = keyword.toLower();
    for (const auto &row : table) {
        if (lower == QLatin1String(row[0]))
            return QString::fromLatin1(row[1]);
    }
    fail(QStringLiteral("unknown Datatype: ") + keyword + QStringLiteral(" in Question response"));
}

} // namespace

QByteArray HeaderPrefix(int version) {
    return QByteArrayLiteral("ZVPOPUP") + QByteArray::number(version) + Separator;
}

QString RequestText(const QString &verb, const QStringList &fields) {
    QString text = verb + QChar(Separator);
    for (const QString &f : fields)
        text += f + QChar(Separator);
    return text;
}

namespace {

QByteArray makePacket(const QByteArray &prefix, const QString &request, TCtrChain *chain) {
    // The body may carry answers (VERIFYLASTANSWERS): its plain copy is wiped below.
    QByteArray body = request.toUtf8();
    const int pad = chain ? TCtrChain::PadCount(static_cast<std::size_t>(body.size())) : 0;
    const qsizetype headerSize = prefix.size() + 7;
    const qsizetype length = headerSize + body.size() + pad;
    if (length > MaxMessageSize) {
        zv::SecureWipe(body);
        fail(QStringLiteral("Request too large for a popup message: %1 bytes").arg(length));
    }
    QByteArray message;
    message.reserve(length);
    message += prefix;
    message += QByteArray::number(length).rightJustified(6, '0');
    message += Separator;
    message += body;
    zv::SecureWipe(body);
    if (chain) {
        message.append(pad, static_cast<char>(pad));
        auto *start = reinterpret_cast<std::uint8_t *>(message.data()) + headerSize;
        chain->ChainValue = {};
        chain->Encrypt(start, start, static_cast<std::size_t>(length - headerSize));
    }
    return message;
}

TResponse splitResponse(QByteArray response, TCtrChain *chain) {
    const qsizetype received = response.size();
    if (received < HeaderSize + 1)
        fail(QStringLiteral("Received Header is incomplete"));
    qsizetype used = received;
    if (chain) {
        auto *body = reinterpret_cast<std::uint8_t *>(response.data()) + HeaderSize;
        const qsizetype bodySize = received - HeaderSize;
        chain->ChainValue = {};
        chain->Decrypt(body, body, static_cast<std::size_t>(bodySize));
        const int pad = static_cast<std::uint8_t>(response.back());
        if (pad < 1 || pad > 16 || pad > bodySize)
            fail(QStringLiteral("Malformed padding in response"));
        used = received - pad;
    }

    TResponse result;
    const QByteArray data = QByteArray::fromRawData(response.constData(), used);
    result.Fields.reserve(data.count(Separator) + 1);
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf(Separator, start);
        if (end < 0)
            end = data.size();
        result.Fields.append(QString::fromUtf8(data.constData() + start, end - start));
        start = end + 1;
    }
    if (result.Fields.size() < 3)
        fail(QStringLiteral("Missing parameters in header"));
    const QString &identifier = result.Fields[0];
    if (!identifier.startsWith(QLatin1String("ZVPOPUP")))
        fail(QStringLiteral("False Identifier in header"));
    if (!toNumber(identifier.mid(7, 4), result.ServerVersion))
        fail(QStringLiteral("Incorrect Version format"));
    int declared = 0;
    if (!toNumber(result.Fields[1], declared))
        fail(QStringLiteral("Incorrect Size format"));
    if (declared != received)
        fail(QStringLiteral("Size mismatch between given size and actual size of data"));
    return result;
}

} // namespace

bool CheckHeader(const QByteArray &header, int &responseSize) {
    if (header.left(7).toUpper() != "ZVPOPUP")
        return false;
    const QByteArray digits = header.mid(12, 6);
    if (digits.size() != 6 || !isDigits(digits))
        fail(QStringLiteral("Malformed Size field in Popup Message Header"));
    responseSize = digits.toInt();
    return true;
}

QByteArray MakePacket(const QByteArray &prefix, const QString &request,
                      const TCtrChain::SessionKey *key) {
    if (!key)
        return makePacket(prefix, request, nullptr);
    TCtrChain chain(*key);
    return makePacket(prefix, request, &chain);
}

QByteArray MakePacket(const QByteArray &prefix, const QString &request, TCtrChain &chain) {
    return makePacket(prefix, request, &chain);
}

TResponse SplitResponse(QByteArray response, const TCtrChain::SessionKey *key) {
    if (!key)
        return splitResponse(std::move(response), nullptr);
    TCtrChain chain(*key);
    return splitResponse(std::move(response), &chain);
}

TResponse SplitResponse(QByteArray response, TCtrChain &chain) {
    return splitResponse(std::move(response), &chain);
}

QStringList SplitLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype k = 0; k < n; ++k) {
        const QChar c = text[k];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, k - start));
        if (c == QLatin1Char('\r') && k + 1 < n && text[k + 1] == QLatin1Char('\n'))
            ++k;
        start = k + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

bool ContainsArabicText(const QString &text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x0600 && u <= 0x06FF) || (u >= 0x0750 && u <= 0x077F) ||
               (u >= 0xFB50 && u <= 0xFC3F) || (u >= 0xFE70 && u <= 0xFEFC);
    });
}

bool CodesetShowsArabic(const QByteArray &codeset) {
    QByteArray name = codeset.toUpper();
    name.replace('-', QByteArray()).replace('_', QByteArray());
    return name == "UTF8" || name == "ISO88596" || name == "CP1256" || name == "WINDOWS1256" ||
           name == "ASMO708";
}

QString ResolveDefaultAnswer(const QString &defaultAnswer, const QString &signUpUserName,
                             const QString &processUserName) {
    if (defaultAnswer.compare(QLatin1String("staticusername"), Qt::CaseInsensitive) != 0)
        return defaultAnswer;
    if (!signUpUserName.isEmpty())
        return signUpUserName;
    return processUserName.left(128);
}

void ParseInitNewJob(const QStringList &fields, TJobSettings &job) {
    const int count = static_cast<int>(fields.size());
    if (count > 3) {
        if (fields[3] == NoQueue)
            fail(QStringLiteral("Print Queue not found"));
        job.TransactionNumber = numberOr(fields[3], -1);
    }
    if (count > 4)
        job.AllowLastAnswers = fields[4] == QLatin1String("1");
    if (count > 6)
        job.DmsDllConfig = fields[6];
    LogInfo("done first 6 params. Param.count=%D", count);
    int flags = 0;
    if (count > 7 && toNumber(fields[7], flags)) {
        job.AllowLastAnswers = flags & 1;
        job.AutoAdvance = flags & 2;
        job.AcceptDmsValue = flags & 4;
        job.HideShortcuts = flags & 8;
        job.SkipHistory = flags & 16;
        job.CostCenterMandatory = flags & 32;
        job.ShowAllCostcenters = flags & 64;
        LogInfo("PopupProtocol Flags=%D", flags);
    }
    if (!job.AllowLastAnswers) {
        job.AllowLastAnswers = true;
        LogInfo("PopupProtocol to force AllowLastAnswers to be true as now required.");
    }
    if (count < 9) {
        LogInfo("PopupProtocol expected question group name not passed from server, please "
                "check popup server version.");
    } else {
        job.QuestionGroupName = fields[8];
        LogInfo("PopupProtocol Question Group Name=[%s]", job.QuestionGroupName);
    }
}

bool ParseDescriptor(const QStringList &fields, const TDescriptorContext &context,
                     TQuestionDescriptor &question) {
    if (fields.size() == 3)
        return false;
    if (fields.size() != 15)
        fail(QStringLiteral("Mal formed response for GETNEXTDESCRIPTOR"));
    question = TQuestionDescriptor();
    question.Name = fields[3];
    question.Prompt = fields[4];
    question.Description = fields[5];
    if ((ContainsArabicText(question.Prompt) || ContainsArabicText(question.Description)) &&
        !context.ArabicDisplayable)
        throw EArabicLanguageException(QStringLiteral("Unable to display Arabic language"));
    question.FormType = formTypeOf(fields[6]);
    question.MaxLength = numberOr(fields[7], 0);
    question.ValidateMax = toBound(fields[8], context.Locale);
    question.ValidateMin = toBound(fields[9], context.Locale);
    question.Mandatory = fields[10] == QLatin1String("1");
    question.DefaultAnswer =
        ResolveDefaultAnswer(fields[11], context.SignUpUserName, context.ProcessUserName);
    if (question.FormType == QLatin1String("listform") ||
        question.FormType == QLatin1String("guestcardform")) {
        question.Choices = SplitLines(fields[12]);
        if (!question.Choices.isEmpty() && !question.Mandatory)
            question.Choices.prepend(context.NoneValue);
    } else if (question.FormType == QLatin1String("sqllistform")) {
        question.SqlLines = SplitLines(fields[12]);
        question.SqlStatement = question.DefaultAnswer;
        question.DefaultAnswer.clear();
    }
    question.Options = numberOr(fields[13], 0);
    question.SaveLastAnswer = question.Options & 96;
    if (question.SaveLastAnswer == 64)
        fail(QStringLiteral("Invalid SaveLastAnswer flag:64 Question:") + question.Name);
    question.Secure = question.Options & 1;
    question.SkipIfEmpty = question.Options & 2;
    question.AutoSelectSingle = question.Options & 4;
    question.ConfirmAnswer = question.Options & 256;
    question.Category = fields[14];
    return true;
}

int ParseSqlList(const QStringList &fields) {
    const QString status = field(fields, 3);
    if (!isStatusOk(status))
        fail(QStringLiteral("Failed to execute SQL on server: ") + status);
    if (fields.size() != 6)
        fail(QStringLiteral("Mal formed response for GETSQLLIST"));
    int transaction = 0;
    if (!toNumber(fields[5], transaction))
        fail(QStringLiteral("Invalid SQL Transaction number received"));
    return transaction;
}

bool ParseSqlData(const QStringList &fields, QStringList &rows) {
    if (fields.size() != 4)
        fail(QStringLiteral("Mal formed response for GETSQLDATA"));
    if (fields[3].isEmpty())
        return false;
    rows += SplitLines(fields[3]);
    return true;
}

bool ParseVerifyLastAnswers(const QStringList &fields) {
    if (fields.size() != 4)
        fail(QStringLiteral("Mal formed response for VERIFYLASTANSWERS"));
    return fields[3].compare(QLatin1String("valid"), Qt::CaseInsensitive) == 0;
}

void ParseListRecentUserCodes(const QStringList &fields, QStringList &codes,
                              QStringList &descriptions) {
    if (fields.size() < 5)
        fail(QStringLiteral("Mal formed response for LISTRECENTUSERCODES"));
    if (!isStatusOk(fields[3]))
        fail(QStringLiteral("Request LISTRECENTUSERCODES failed"));
    codes = SplitLines(fields[4]);
    if (fields.size() > 5)
        descriptions = SplitLines(fields[5]);
}

void ParseFindUserCodes(const QStringList &fields, QStringList &codes, QStringList &descriptions) {
    if (fields.size() < 4)
        fail(QStringLiteral("Mal formed response for FINDUSERCODES"));
    if (!isStatusOk(fields[3]))
        fail(QStringLiteral("Request FINDUSERCODES failed"));
    codes = SplitLines(field(fields, 4));
    if (fields.size() > 4)
        descriptions = SplitLines(field(fields, 5));
}

void ParseListLastAnswers(const QStringList &fields, TLastAnswerHistory &result) {
    LogInfo("ParseListLastAnswers Count: %D", fields.size());
    if (fields.size() != 7)
        fail(QStringLiteral("Mal formed response for LISTLASTANSWERS"));
    if (!isStatusOk(fields[3]))
        fail(QStringLiteral("Request LISTLASTANSWERS failed: ") + fields[3]);
    if (!toNumber(fields[4], result.CountCombinations))
        fail(QStringLiteral("Invalid CountCombinations format"));
    if (!toNumber(fields[5], result.CountCategories))
        fail(QStringLiteral("Invalid CountCategories format"));
    const QStringList lines = SplitLines(fields[6]);
    LogInfo("BC_ListLastAnswers ListLastAnswers: %S", fields[6]);
    result.History.clear();
    if (result.CountCategories <= 0)
        return;
    const qsizetype group = 2 * static_cast<qsizetype>(result.CountCategories);
    for (qsizetype first = 0; lines.size() - first >= group; first += group) {
        THistoryItem item;
        for (qsizetype k = 0; k < result.CountCategories; ++k)
            item.append({lines[first + 2 * k], lines[first + 2 * k + 1]});
        result.History.append(item);
    }
}

void ParsePublicKey(const QStringList &fields, QString &modulus, QString &exponent) {
    if (fields.size() < 5)
        fail(QStringLiteral("Malformed response for GETPUBLICKEY"));
    modulus = fields[3];
    exponent = fields[4];
}

void ParseSetSessionKey(const QStringList &fields) {
    if (fields.size() < 3)
        fail(QStringLiteral("Malformed response for SETSESSIONKEY"));
}

} // namespace popup

// SPDX-License-Identifier: MIT
// A popup server's response: the header check, splitting with and without the session key,
// and every verb's parser over the fields.
//
// Input: one mode byte, then the message. Mode bit 0: the body is encrypted under the fixed
// key before splitting, so the plain text behind the cipher is the fuzzer's (padding
// included). Bit 1: the length field is set to the message's real length, so that the verb
// parsers are reached. Bit 2: the descriptor is read under a German locale on a display
// without Arabic.
#include "FuzzSupport.h"

#include "CtrChain.h"
#include "PopupMessages.h"

namespace {

const TCtrChain::SessionKey Key = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                                   0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

template <typename Parse> void Try(Parse parse) {
    try {
        parse();
    } catch (const zv::ZvError &) {
    }
}

void ParseEveryVerb(const QStringList &fields, bool german) {
    Try([&] {
        popup::TJobSettings job;
        popup::ParseInitNewJob(fields, job);
    });
    Try([&] {
        popup::TDescriptorContext context;
        if (german) {
            context.Locale = QLocale(QLocale::German, QLocale::Germany);
            context.ArabicDisplayable = false;
        }
        context.SignUpUserName = QStringLiteral("signup");
        context.ProcessUserName = QStringLiteral("process");
        popup::TQuestionDescriptor question;
        if (popup::ParseDescriptor(fields, context, question))
            fuzz::Check(question.SaveLastAnswer != 64, "descriptor with SaveLastAnswer 64");
    });
    Try([&] { popup::ParseSqlList(fields); });
    Try([&] {
        QStringList rows;
        popup::ParseSqlData(fields, rows);
    });
    Try([&] { popup::ParseVerifyLastAnswers(fields); });
    Try([&] {
        QStringList codes, descriptions;
        popup::ParseListRecentUserCodes(fields, codes, descriptions);
    });
    Try([&] {
        QStringList codes, descriptions;
        popup::ParseFindUserCodes(fields, codes, descriptions);
    });
    Try([&] {
        popup::TLastAnswerHistory history;
        popup::ParseListLastAnswers(fields, history);
        for (const popup::THistoryItem &item : history.History)
            fuzz::Check(item.size() == history.CountCategories, "history item of another size");
    });
    Try([&] {
        QString modulus, exponent;
        popup::ParsePublicKey(fields, modulus, exponent);
    });
    Try([&] { popup::ParseSetSessionKey(fields); });
}

void SetLengthField(QByteArray &message) {
    if (message.size() >= popup::HeaderSize)
        message.replace(12, 6, QByteArray::number(message.size()).rightJustified(6, '0', true));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::TInput input(data, size);
    const std::uint8_t mode = input.Byte();
    QByteArray message = input.Rest();
    if (message.size() > popup::MaxMessageSize)
        return 0;

    if (message.size() >= popup::HeaderSize) {
        Try([&] {
            int length = -1;
            if (popup::CheckHeader(message.left(popup::HeaderSize), length))
                fuzz::Check(length >= 0 && length <= popup::MaxMessageSize,
                            "header length out of range");
        });
    }

    const bool keyed = mode & 1;
    if (keyed && message.size() > popup::HeaderSize) {
        const qsizetype body = (message.size() - popup::HeaderSize) / 16 * 16;
        message.truncate(popup::HeaderSize + body);
        auto *start = reinterpret_cast<std::uint8_t *>(message.data()) + popup::HeaderSize;
        TCtrChain(Key).Encrypt(start, start, std::size_t(body));
    }
    if (mode & 2)
        SetLengthField(message);

    popup::TResponse response;
    try {
        response = popup::SplitResponse(message, keyed ? &Key : nullptr);
    } catch (const zv::ZvError &) {
        return 0;
    }
    fuzz::Check(response.Fields.size() >= 3, "response of fewer than three fields");
    ParseEveryVerb(response.Fields, mode & 4);
    return 0;
}

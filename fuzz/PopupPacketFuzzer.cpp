// SPDX-License-Identifier: MIT
// Request messages: a request built with and without the session key and split again gives
// back its verb and every field, and its length field is its size.
//
// Input: one mode byte (bit 0: encrypted), then the verb and the fields separated by 0x0C.
#include "FuzzSupport.h"

#include "CtrChain.h"
#include "PopupMessages.h"

#include <QStringList>

namespace {

const TCtrChain::SessionKey Key = {0xA5, 0x5A, 0x00, 0xFF, 0x11, 0x22, 0x33, 0x44,
                                   0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::TInput input(data, size);
    const bool keyed = input.Byte() & 1;
    const QString verb = QString::fromUtf8(input.Piece(popup::Separator));
    QStringList fields;
    while (!input.AtEnd())
        fields << QString::fromUtf8(input.Piece(popup::Separator));

    const QByteArray prefix = popup::HeaderPrefix(popup::ProtocolVersion);
    QByteArray message;
    try {
        message =
            popup::MakePacket(prefix, popup::RequestText(verb, fields), keyed ? &Key : nullptr);
    } catch (const zv::ZvError &) {
        return 0;
    }
    fuzz::Check(message.size() <= popup::MaxMessageSize, "message over the length limit");
    int length = -1;
    fuzz::Check(popup::CheckHeader(message.left(popup::HeaderSize), length), "header refused");
    fuzz::Check(length == message.size(), "length field differs from the size", message.left(19));
    if (keyed)
        fuzz::Check((message.size() - popup::HeaderSize) % 16 == 0, "body not whole blocks");

    const popup::TResponse response = popup::SplitResponse(message, keyed ? &Key : nullptr);
    const QStringList expected =
        QStringList{QStringLiteral("ZVPOPUP1005"), QString::number(length).rightJustified(6, u'0'),
                    verb} +
        fields;
    fuzz::Check(response.Fields == expected, "fields differ after a round trip");
    fuzz::Check(response.ServerVersion == popup::ProtocolVersion, "version differs");
    return 0;
}

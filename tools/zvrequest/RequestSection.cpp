// SPDX-License-Identifier: MIT
#include "RequestSection.h"

#include <QStringDecoder>
#include <QtEndian>

namespace zvrequest {

QByteArray encodeWideText(const QString &text, qsizetype sectionSize) {
    QByteArray image(sectionSize, '\0');
    if (text.isEmpty())
        return image;
    const qsizetype needed = 4 + (text.size() + 1) * 2;
    if (needed > sectionSize)
        throw SectionError("the request document does not fit the section (" +
                           std::to_string(needed) + " of " + std::to_string(sectionSize) +
                           " bytes)");
    qToLittleEndian<qint32>(1, image.data());
    char *out = image.data() + 4;
    for (QChar c : text) {
        qToLittleEndian<quint16>(c.unicode(), out);
        out += 2;
    }
    return image;
}

QString decodeWideText(const QByteArray &section) {
    if (section.size() < 4 || qFromLittleEndian<qint32>(section.constData()) == 0)
        return QString();
    QString text;
    for (qsizetype pos = 4; pos + 1 < section.size(); pos += 2) {
        const quint16 unit = qFromLittleEndian<quint16>(section.constData() + pos);
        if (unit == 0)
            return text;
        text.append(QChar(unit));
    }
    throw SectionError("the answer document in the section has no terminator");
}

QString decodeRequestFile(const QByteArray &bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        return QString(utf16(bytes.mid(2)));
    }
    QByteArray utf8 = bytes;
    if (utf8.startsWith("\xEF\xBB\xBF"))
        utf8.remove(0, 3);
    return QString::fromUtf8(utf8);
}

} // namespace zvrequest

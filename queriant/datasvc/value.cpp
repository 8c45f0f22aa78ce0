// SPDX-License-Identifier: MIT
#include "value.h"

#include <QLocale>

#include <charconv>
#include <cstring>

namespace {

constexpr const char *TypeNames[] = {"None",
                                     "8-Bit Integer",
                                     "8-Bit Unsigned Integer",
                                     "16-Bit Integer",
                                     "16-Bit Unsigned Integer",
                                     "32-Bit Integer",
                                     "32-Bit Unsigned Integer",
                                     "Floating Point",
                                     "Double Precision",
                                     "Date/Time",
                                     "String",
                                     "Binary Data",
                                     "Array Length",
                                     "Table"};

void putLittleEndian(std::uint8_t *out, std::uint64_t v, int size) {
    for (int k = 0; k < size; ++k)
        out[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

template <typename T> QString shortestText(T v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace

QString ZvComResourceString(int id) {
    if (id == SZvComTypeError)
        return QStringLiteral("Incorrect data type in decode packet. Expected %0:s, received "
                              "%1:s. Field: %2:s");
    return ZvComTypeName(id - SZvComTypeNameBase);
}

QString ZvComTypeName(int code) {
    if (code < 0 || code > ZvComLastCode)
        return QString();
    return QString::fromLatin1(TypeNames[code]);
}

QString ZvComTypeErrorText(int expectedCode, int receivedCode, int field) {
    QString text = ZvComResourceString(SZvComTypeError);
    text.replace(QLatin1String("%0:s"), ZvComTypeName(expectedCode));
    text.replace(QLatin1String("%1:s"), ZvComTypeName(receivedCode));
    text.replace(QLatin1String("%2:s"), QString::number(field));
    return text;
}

TZvComValue TZvComValue::Null(int code) {
    TZvComValue v;
    v.m_code = static_cast<std::uint8_t>(code & ZvComCodeMask);
    v.m_type = static_cast<std::uint8_t>(ZvComNullFlag | v.m_code);
    return v;
}

TZvComValue TZvComValue::FromWire(std::uint8_t typeByte, const std::uint8_t *payload,
                                  std::uint32_t length, bool borrow) {
    TZvComValue v;
    v.SetWire(typeByte, payload, length, borrow);
    return v;
}

TZvComValue::TZvComValue(int code, const void *fixed, int size)
    : m_type(static_cast<std::uint8_t>(code)), m_code(static_cast<std::uint8_t>(code)),
      m_length(static_cast<std::uint32_t>(size)) {
    std::memcpy(m_fixed.data(), fixed, static_cast<size_t>(size));
}

TZvComValue::TZvComValue(int code, const QByteArray &block)
    : m_type(static_cast<std::uint8_t>(code)), m_code(static_cast<std::uint8_t>(code)),
      m_length(static_cast<std::uint32_t>(block.size())), m_block(block) {}

void TZvComValue::SetEncrypted(bool encrypted) {
    if (encrypted)
        m_type |= ZvComEncryptedFlag;
    else
        m_type &= static_cast<std::uint8_t>(~ZvComEncryptedFlag);
}

std::uint32_t TZvComValue::EncodedSize() const {
    if (IsNull())
        return 1;
    if (m_code == zvcString || m_code == zvcBinary)
        return 5 + m_length;
    return 1 + m_length;
}

const std::uint8_t *TZvComValue::PayloadBytes() const {
    if (m_code == zvcString || m_code == zvcBinary)
        return reinterpret_cast<const std::uint8_t *>(m_block.constData());
    return m_fixed.data();
}

QString TZvComValue::AsText() const {
    if (IsNull())
        return QString();
    switch (m_code) {
    case zvcInteger8:
        return QString::number(AsInteger8());
    case zvcUInteger8:
        return QString::number(AsUInteger8());
    case zvcInteger16:
        return QString::number(AsInteger16());
    case zvcUInteger16:
        return QString::number(AsUInteger16());
    case zvcInteger32:
        return QString::number(AsInteger());
    case zvcUInteger32:
        return QString::number(AsCardinal());
    case zvcFloat:
        return shortestText(AsFloat());
    case zvcDouble:
        return shortestText(AsDouble());
    case zvcDateTime:
        return QLocale::system().toString(AsDateTime(), QLocale::ShortFormat);
    case zvcString:
        return AsString();
    case zvcArray:
    case zvcTableStart:
        return QString::number(AsCount());
    default:
        return QString();
    }
}

void TZvComValue::Require(int code) const {
    if (m_code != code || IsNull())
        throw EZvComValueException(QStringLiteral("Expected ") + ZvComTypeName(code) +
                                   QStringLiteral(", created ") + ZvComTypeName(m_code));
}

std::uint64_t TZvComValue::FixedWord() const {
    std::uint64_t v = 0;
    for (int k = 7; k >= 0; --k)
        v = (v << 8) | m_fixed[static_cast<size_t>(k)];
    return v;
}

qint8 TZvComValue::AsInteger8() const {
    Require(zvcInteger8);
    return static_cast<qint8>(m_fixed[0]);
}
quint8 TZvComValue::AsUInteger8() const {
    Require(zvcUInteger8);
    return m_fixed[0];
}
qint16 TZvComValue::AsInteger16() const {
    Require(zvcInteger16);
    return static_cast<qint16>(FixedWord());
}
quint16 TZvComValue::AsUInteger16() const {
    Require(zvcUInteger16);
    return static_cast<quint16>(FixedWord());
}
qint32 TZvComValue::AsInteger() const {
    Require(zvcInteger32);
    return static_cast<qint32>(FixedWord());
}
quint32 TZvComValue::AsCardinal() const {
    Require(zvcUInteger32);
    return static_cast<quint32>(FixedWord());
}
float TZvComValue::AsFloat() const {
    Require(zvcFloat);
    const auto bits = static_cast<std::uint32_t>(FixedWord());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
double TZvComValue::AsDouble() const {
    Require(zvcDouble);
    const std::uint64_t bits = FixedWord();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
QDateTime TZvComValue::AsDateTime() const {
    Require(zvcDateTime);
    const int year = m_fixed[0] | (m_fixed[1] << 8);
    return QDateTime(QDate(year, m_fixed[2], m_fixed[3]),
                     QTime(m_fixed[4], m_fixed[5], m_fixed[6]));
}
QString TZvComValue::AsString() const {
    Require(zvcString);
    const qsizetype end = m_block.indexOf('\0');
    return QString::fromUtf8(m_block.constData(), end < 0 ? m_block.size() : end);
}
QByteArray TZvComValue::AsBinary() const {
    Require(zvcBinary);
    return QByteArray(m_block.constData(), m_block.size());
}
quint32 TZvComValue::AsCount() const {
    if (m_code != zvcTableStart)
        Require(zvcArray);
    else
        Require(zvcTableStart);
    return static_cast<quint32>(FixedWord());
}

namespace {
template <typename T> std::array<std::uint8_t, 8> littleEndian(T v) {
    std::array<std::uint8_t, 8> out{};
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    putLittleEndian(out.data(), bits, sizeof v);
    return out;
}
} // namespace

TZvComInteger16::TZvComInteger16(qint16 v) : TZvComValue(zvcInteger16, littleEndian(v).data(), 2) {}
TZvComUInteger16::TZvComUInteger16(quint16 v)
    : TZvComValue(zvcUInteger16, littleEndian(v).data(), 2) {}
TZvComInteger32::TZvComInteger32(qint32 v) : TZvComValue(zvcInteger32, littleEndian(v).data(), 4) {}
TZvComUInteger32::TZvComUInteger32(quint32 v)
    : TZvComValue(zvcUInteger32, littleEndian(v).data(), 4) {}
TZvComFloat::TZvComFloat(float v) : TZvComValue(zvcFloat, littleEndian(v).data(), 4) {}
TZvComDouble::TZvComDouble(double v) : TZvComValue(zvcDouble, littleEndian(v).data(), 8) {}
TZvComArray::TZvComArray(quint32 count) : TZvComValue(zvcArray, littleEndian(count).data(), 4) {}
TZvComTableStart::TZvComTableStart(quint32 columns)
    : TZvComValue(zvcTableStart, littleEndian(columns).data(), 4) {}

TZvComDateTime::TZvComDateTime(const QDateTime &v)
    : TZvComValue(zvcDateTime, std::array<std::uint8_t, 8>{}.data(), 8) {
    const QDate d = v.date();
    const QTime t = v.time();
    const std::array<std::uint8_t, 8> bytes = {
        static_cast<std::uint8_t>(d.year()),   static_cast<std::uint8_t>(d.year() >> 8),
        static_cast<std::uint8_t>(d.month()),  static_cast<std::uint8_t>(d.day()),
        static_cast<std::uint8_t>(t.hour()),   static_cast<std::uint8_t>(t.minute()),
        static_cast<std::uint8_t>(t.second()), 0};
    static_cast<TZvComValue &>(*this) = TZvComValue::FromWire(zvcDateTime, bytes.data(), 8, false);
}

TZvComString::TZvComString(const QString &text) : TZvComValue(zvcString, text.toUtf8() + '\0') {}

TZvComBinary::TZvComBinary(const QByteArray &bytes) : TZvComValue(zvcBinary, bytes) {}

// SPDX-License-Identifier: MIT
// One argument of a log format. It refers to the caller's data (strings are not copied), so
// it lives only for the duration of the log call that receives it.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>

#include <string>

class TLogArg {
public:
    enum class Kind { Int32, UInt32, Int64, UInt64, Double, Char, Text, Bytes, Pointer };

    TLogArg(int v) : m_kind(Kind::Int32), m_bits(quint64(qint64(v))) {}
    TLogArg(unsigned v) : m_kind(Kind::UInt32), m_bits(v) {}
    TLogArg(long v) : m_kind(Kind::Int64), m_bits(quint64(qint64(v))) {}
    TLogArg(unsigned long v) : m_kind(Kind::UInt64), m_bits(v) {}
    TLogArg(long long v) : m_kind(Kind::Int64), m_bits(quint64(qint64(v))) {}
    TLogArg(unsigned long long v) : m_kind(Kind::UInt64), m_bits(v) {}
    TLogArg(double v) : m_kind(Kind::Double), m_double(v) {}
    TLogArg(char c) : m_kind(Kind::Char), m_bits(static_cast<unsigned char>(c)) {}
    TLogArg(QChar c) : m_kind(Kind::Char), m_bits(c.unicode()) {}
    TLogArg(const QString &s) : TLogArg(QStringView(s)) {}
    TLogArg(QStringView s) : m_kind(Kind::Text), m_text(s.data()), m_size(s.size()) {}
    TLogArg(const QByteArray &b) : m_kind(Kind::Bytes), m_bytes(b.constData()), m_size(b.size()) {}
    TLogArg(const std::string &s)
        : m_kind(Kind::Bytes), m_bytes(s.data()), m_size(qsizetype(s.size())) {}
    // A null pointer is an empty string.
    TLogArg(const char *s)
        : m_kind(Kind::Bytes), m_bytes(s ? s : ""),
          m_size(qsizetype(std::char_traits<char>::length(m_bytes))) {}
    TLogArg(const void *p) : m_kind(Kind::Pointer), m_bits(reinterpret_cast<quintptr>(p)) {}

    Kind kind() const { return m_kind; }
    bool isInteger() const {
        return m_kind == Kind::Int32 || m_kind == Kind::UInt32 || m_kind == Kind::Int64 ||
               m_kind == Kind::UInt64;
    }
    bool isSigned() const { return m_kind == Kind::Int32 || m_kind == Kind::Int64; }
    bool isWide() const { return m_kind == Kind::Int64 || m_kind == Kind::UInt64; }
    // Integer kinds, Char and Pointer only.
    qint64 signedValue() const { return qint64(m_bits); }
    quint64 unsignedValue() const { return m_bits; }
    double doubleValue() const { return m_double; }
    QStringView text() const { return QStringView(m_text, m_size); }
    QByteArrayView bytes() const { return QByteArrayView(m_bytes, m_size); }

private:
    Kind m_kind;
    // One of these by the kind; small, as a call builds an array of them for every entry.
    union {
        quint64 m_bits;
        double m_double;
        const QChar *m_text;
        const char *m_bytes;
    };
    qsizetype m_size = 0;
};

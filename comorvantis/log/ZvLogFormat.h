// SPDX-License-Identifier: MIT
// printf-style formatting of log texts over a list of typed arguments, so that a format
// taken from outside (a system message used as a format) can never read past its arguments.
#pragma once

#include <QString>

#include <initializer_list>
#include <span>

class ZvLogArg {
public:
    enum class Kind { Signed, Unsigned, Text };

    ZvLogArg(int v) : m_kind(Kind::Signed), m_signed(v) {}
    ZvLogArg(long v) : m_kind(Kind::Signed), m_signed(v) {}
    ZvLogArg(long long v) : m_kind(Kind::Signed), m_signed(v) {}
    ZvLogArg(unsigned v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    ZvLogArg(unsigned long v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    ZvLogArg(unsigned long long v) : m_kind(Kind::Unsigned), m_unsigned(v) {}
    // Text is held by a shared copy, so an argument may outlive the string it came from.
    ZvLogArg(const QString &s) : m_kind(Kind::Text), m_text(s) {}
    ZvLogArg(const char *s) : m_kind(Kind::Text), m_text(QString::fromUtf8(s ? s : "")) {}

    Kind kind() const { return m_kind; }
    qint64 asSigned() const { return m_kind == Kind::Unsigned ? qint64(m_unsigned) : m_signed; }
    quint64 asUnsigned() const { return m_kind == Kind::Signed ? quint64(m_signed) : m_unsigned; }
    const QString &text() const { return m_text; }

private:
    Kind m_kind;
    qint64 m_signed = 0;
    quint64 m_unsigned = 0;
    QString m_text;
};

using ZvLogArgs = std::initializer_list<ZvLogArg>;

// Conversions: %s %S (text), %d %i %u %x %X %o %c, %%; flags "-+ 0#", width and precision
// (also '*'), size prefixes h l ll I64 w are accepted and ignored. A conversion without an
// argument, or with an argument of the other kind, writes what it can (an empty text or 0).
QString zvFormat(const QString &format, std::span<const ZvLogArg> args);
inline QString zvFormat(const QString &format, ZvLogArgs args = {}) {
    return zvFormat(format, std::span<const ZvLogArg>(args.begin(), args.size()));
}

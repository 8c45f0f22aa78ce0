// SPDX-License-Identifier: MIT
// What every fuzz target shares: the libFuzzer entry point's signature, a check that aborts
// with a readable reason (so that a round-trip mismatch is a finding like a crash), and a
// reader that cuts the input into the pieces a target needs.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace fuzz {

[[noreturn]] inline void Fail(const char *what, const QByteArray &detail = {}) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toHex(' ').constData());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool condition, const char *what, const QByteArray &detail = {}) {
    if (!condition)
        Fail(what, detail);
}

inline QByteArray Bytes(const std::uint8_t *data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Consumes the input from the front: single bytes for choices, and pieces cut at a separator
// byte so that the seed files stay readable.
class TInput {
public:
    TInput(const std::uint8_t *data, std::size_t size) : m_data(Bytes(data, size)) {}

    bool AtEnd() const { return m_pos >= m_data.size(); }
    std::uint8_t Byte() { return AtEnd() ? 0 : std::uint8_t(m_data[m_pos++]); }
    // Up to (not including) the next separator, which is consumed; the rest when there is none.
    QByteArray Piece(char separator) {
        const qsizetype end = m_data.indexOf(separator, m_pos);
        const qsizetype stop = end < 0 ? m_data.size() : end;
        QByteArray piece = m_data.mid(m_pos, stop - m_pos);
        m_pos = end < 0 ? m_data.size() : end + 1;
        return piece;
    }
    QByteArray Rest() {
        QByteArray rest = m_data.mid(m_pos);
        m_pos = m_data.size();
        return rest;
    }

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
};

} // namespace fuzz

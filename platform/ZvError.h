// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

namespace zv {

// Root of every failure both programs raise. The message is the user- or log-visible text,
// kept as a QString so non-ASCII texts survive; what() gives its UTF-8 form.
class ZvError : public std::runtime_error {
public:
    explicit ZvError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

} // namespace zv

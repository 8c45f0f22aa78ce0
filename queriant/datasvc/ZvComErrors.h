// SPDX-License-Identifier: MIT
// Failures of the data-service library. Every one carries the text the caller shows.
#pragma once

#include "ZvError.h"

class EZvComException : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

// Connection and protocol failures reported to the caller of a request.
class EZvComSocketException : public EZvComException {
public:
    using EZvComException::EZvComException;
};

class EZvComDisconnectException : public EZvComSocketException {
public:
    EZvComDisconnectException()
        : EZvComSocketException(QStringLiteral("Server Closed Connection")) {}
};

class EZvComValueException : public EZvComSocketException {
public:
    using EZvComSocketException::EZvComSocketException;
};

// The server answered with an error status; the message is the server's text.
class EZvComServerException : public EZvComSocketException {
public:
    using EZvComSocketException::EZvComSocketException;
};

class EZvComPacketException : public EZvComException {
public:
    explicit EZvComPacketException(const QString &message, const QString &additional = {})
        : EZvComException(message), m_additional(additional) {}
    const QString &additionalText() const noexcept { return m_additional; }

private:
    QString m_additional;
};

// Failures of the socket wrapper when no error callback takes them.
class ESocket : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

// Texts shared by the decoder and the reader.
inline constexpr const char *SNotEnoughData = "There is not enough data in the decode packet";
inline constexpr const char *SServerDataNull = "Server data is null";
inline constexpr const char *SLengthTooShort = "Received packet length less than header length";
inline constexpr const char *SLengthTooLong = "Received packet length too long";

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <string>

namespace kavren::net {

// Every error of the endpoint layer: it carries the exact message text that
// the general error display shows.
class EIdException : public std::exception {
public:
    explicit EIdException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& message() const noexcept { return m_message; }

private:
    std::string m_message;
};

// A failing socket call. The number is a Windows Sockets number (the platform's
// own error numbers are mapped to it), and the message is
// "Socket Error # <number>\r\n<text>" with the text of that number.
class EIdSocketError : public EIdException {
public:
    explicit EIdSocketError(int winsockNumber);
    int lastError() const noexcept { return m_lastError; }

private:
    int m_lastError;
};

class EIdInvalidSocket final : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdCouldNotBindSocket final : public EIdException {
public:
    EIdCouldNotBindSocket()
        : EIdException("Could not bind socket. Address and port are already in use.") {}
};

class EIdPackageSizeTooBig final : public EIdException {
public:
    EIdPackageSizeTooBig() : EIdException("Package Size Too Big.") {}
};

class EIdNotAllBytesSent final : public EIdException {
public:
    EIdNotAllBytesSent() : EIdException("Not all bytes sent.") {}
};

class EIdStackInitializationFailed final : public EIdException {
public:
    EIdStackInitializationFailed() : EIdException("Winsock Initialization Error.") {}
};

}  // namespace kavren::net

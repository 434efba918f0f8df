// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kavren::net {

// Windows Sockets numbers of the errors the layer reports by name.
inline constexpr int kWsaEAddrInUse = 10048;
inline constexpr int kWsaEAddrNotAvail = 10049;
inline constexpr int kWsaEMsgSize = 10040;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;

// The text for a Windows Sockets number; empty for a number not listed.
std::string_view socketErrorText(int winsockNumber);

// "Socket Error # %d\r\n%s"
std::string socketErrorMessage(int winsockNumber);

// Throws the error that a failing bind, option or send call reports for the
// Windows Sockets number `winsockNumber` (socketapi::lastError()): in-use at
// bind and too-long at send get their own classes, everything else is an
// EIdSocketError.
[[noreturn]] void throwBindError(int winsockNumber);
[[noreturn]] void throwSendError(int winsockNumber);
[[noreturn]] void throwSocketError(int winsockNumber);

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavren::net::socketapi {

// Maps a POSIX errno to the Windows Sockets number of the same condition, so
// messages read the same on every platform. An errno without a counterpart is
// passed through unchanged (those numbers are all far below 10000, so they
// never collide with a listed number and show an empty text).
int winsockNumberFromErrno(int errnoValue);

}  // namespace kavren::net::socketapi

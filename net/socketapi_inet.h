// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// For the socket platform files only, included after their system headers:
// the BSD address structures are the same on POSIX and on Windows Sockets,
// so what only fills them is written once.

#include <cstdint>

namespace kavren::net::socketapi::inet {

inline sockaddr_in address(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = htonl(hostOrder);
    return result;
}

}  // namespace kavren::net::socketapi::inet

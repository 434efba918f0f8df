// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// For the socket platform files only, included after their system headers:
// the BSD address structures and getaddrinfo are the same on POSIX and on
// Windows Sockets, so what only fills or reads them is written once.

#include <cstdint>
#include <cstring>
#include <optional>

namespace kavren::net::socketapi::inet {

inline sockaddr_in address(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = htonl(hostOrder);
    return result;
}

// The first IPv4 address of a getaddrinfo answer, in host order.
inline std::optional<std::uint32_t> firstIpv4(const addrinfo* list) {
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            sockaddr_in inet{};
            std::memcpy(&inet, entry->ai_addr, sizeof inet);
            return ntohl(inet.sin_addr.s_addr);
        }
    }
    return std::nullopt;
}

inline addrinfo datagramHints() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    return hints;
}

}  // namespace kavren::net::socketapi::inet

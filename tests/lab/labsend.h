// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "net/socketapi.h"

namespace kavren::lab {

// Sends one datagram to `port` on this namespace's loopback, as a device's
// reply reaches a receiver there. Refuses (returns false, sends nothing)
// outside an isolated lab; true when the whole datagram went out.
bool sendToLoopback(std::span<const std::uint8_t> datagram, std::uint16_t port = 62631);

// A UDP socket bound to `port` on every address, as a first copy of the
// program holds its receiving port: the window under test then cannot bind
// it. The port is given back by release() or when the holder goes.
class PortHolder final {
public:
    explicit PortHolder(std::uint16_t port = 62631);
    ~PortHolder() { release(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool holding() const { return m_holding; }
    void release();

private:
    net::socketapi::LibraryUse m_library;
    net::socketapi::Handle m_socket = net::socketapi::kNoSocket;
    bool m_holding = false;
};

}  // namespace kavren::lab

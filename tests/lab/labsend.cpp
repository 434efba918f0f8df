// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/labsend.h"

#include "net/socketapi.h"
#include "tests/lab/labguard.h"

namespace kavren::lab {

bool sendToLoopback(std::span<const std::uint8_t> datagram, std::uint16_t port) {
    if (!isIsolated(nullptr))
        return false;
    const net::socketapi::LibraryUse library;
    const net::socketapi::Handle socket = net::socketapi::openDatagram();
    if (socket == net::socketapi::kNoSocket)
        return false;
    constexpr std::uint32_t kLoopback = 0x7F000001;
    const long long sent = net::socketapi::sendTo(socket, datagram, kLoopback, port, 0);
    net::socketapi::close(socket);
    return sent == static_cast<long long>(datagram.size());
}

PortHolder::PortHolder(std::uint16_t port) : m_socket(net::socketapi::openDatagram()) {
    m_holding = m_socket != net::socketapi::kNoSocket && net::socketapi::bind(m_socket, 0, port);
}

void PortHolder::release() {
    if (m_socket != net::socketapi::kNoSocket)
        net::socketapi::close(m_socket);
    m_socket = net::socketapi::kNoSocket;
    m_holding = false;
}

}  // namespace kavren::lab

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/labsend.h"

#include "net/socketapi.h"
#include "tests/lab/labguard.h"

namespace kavren::lab {

bool sendToLoopback(std::span<const std::uint8_t> datagram, std::uint16_t port) {
    if (!isIsolated(nullptr))
        return false;
    const socketapi::LibraryUse library;
    const socketapi::Handle socket = socketapi::openDatagram();
    if (socket == socketapi::kNoSocket)
        return false;
    constexpr std::uint32_t kLoopback = 0x7F000001;
    const long long sent = socketapi::sendTo(socket, datagram, kLoopback, port, 0);
    socketapi::close(socket);
    return sent == static_cast<long long>(datagram.size());
}

PortHolder::PortHolder(std::uint16_t port) : m_socket(socketapi::openDatagram()) {
    m_holding = m_socket != socketapi::kNoSocket && socketapi::bind(m_socket, 0, port);
}

void PortHolder::release() {
    if (m_socket != socketapi::kNoSocket)
        socketapi::close(m_socket);
    m_socket = socketapi::kNoSocket;
    m_holding = false;
}

}  // namespace kavren::lab

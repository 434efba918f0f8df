// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "net/socketapi.h"
#include "protocol/ipv4.h"

namespace kavren::net {

// One binding: an IPv4 datagram socket with its local and peer addresses.
class TIdSocketHandle final {
public:
    TIdSocketHandle() = default;
    TIdSocketHandle(protocol::Ipv4Address ip, std::uint16_t port) : m_ip(ip), m_port(port) {}
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    // Local address; 0.0.0.0 means every local address.
    protocol::Ipv4Address ip() const { return m_ip; }
    void setIP(protocol::Ipv4Address ip) { m_ip = ip; }
    // Local port; 0 lets the system choose.
    std::uint16_t port() const { return m_port; }
    void setPort(std::uint16_t port) { m_port = port; }

    // The sender of the datagram delivered last on this binding.
    protocol::Ipv4Address peerIP() const { return m_peerIP; }
    std::uint16_t peerPort() const { return m_peerPort; }
    void setPeer(protocol::Ipv4Address ip, std::uint16_t port) {
        m_peerIP = ip;
        m_peerPort = port;
    }

    bool handleAllocated() const { return m_handle != socketapi::kNoSocket; }
    socketapi::Handle handle() const { return m_handle; }

    // Creates the socket; EIdInvalidSocket when that fails.
    void allocateSocket();
    // Binds to ip():port() and reads the bound address back into them.
    void bind();
    // SO_BROADCAST, a 4-byte integer, nonzero for on.
    void setBroadcastFlag(bool enabled);
    // Asks for a receive buffer of `bytes` (as root beyond the system's cap)
    // and returns the size the system granted, 0 when it cannot be read.
    int enlargeReceiveBuffer(int bytes);
    // Sends one datagram, no flags. `steerInterface` > 0 makes it leave
    // through that interface whatever the routing table says.
    void sendTo(std::span<const std::uint8_t> data, protocol::Ipv4Address host, std::uint16_t port,
                int steerInterface);

    // Shuts the sending direction down and closes the socket.
    void closeSocket();

private:
    socketapi::Handle m_handle = socketapi::kNoSocket;
    protocol::Ipv4Address m_ip;
    std::uint16_t m_port = 0;
    protocol::Ipv4Address m_peerIP;
    std::uint16_t m_peerPort = 0;
};

}  // namespace kavren::net

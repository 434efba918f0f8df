// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include "protocol/ipv4.h"

#include "net/idudpbase.h"

namespace kavren::net {

// The sending endpoint. It keeps at most one socket, in its binding, and is
// used on the user-interface thread only.
class TIdUDPClient final : public TIdUDPBase {
public:
    TIdUDPClient();
    ~TIdUDPClient() override;

    // Get binding: with no open socket, first makes a fresh binding (empty
    // IP, port 0) with a new socket whose broadcast permission follows
    // broadcastEnabled().
    TIdSocketHandle& binding();
    // Binds the binding's socket to its IP with a port the system picks.
    void bind();

    // The destination; the program only ever names addresses, never host
    // names, so it is held as one.
    protocol::Ipv4Address host() const { return m_host; }
    void setHost(protocol::Ipv4Address host) { m_host = host; }
    std::uint16_t port() const { return m_port; }
    void setPort(std::uint16_t port) { m_port = port; }

    // Sends the bytes as one datagram to host():port().
    void send(std::span<const std::uint8_t> data);

    // Sockets created so far; every send sequence makes a fresh one.
    std::uint64_t socketsOpened() const { return m_socketsOpened; }

protected:
    void closeBinding() override;
    bool isActive() const override;
    void openBinding() override;
    void applyBroadcastToOpenSockets() override;

private:
    std::unique_ptr<TIdSocketHandle> m_binding;
    protocol::Ipv4Address m_host;
    std::uint16_t m_port = 0;
    std::uint64_t m_socketsOpened = 0;
};

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "net/sender.h"

namespace kavren::net {

class TIdUDPClient;

// The window's sender: the send sequence over its sending endpoint.
class EndpointSender final : public DatagramSender {
public:
    explicit EndpointSender(TIdUDPClient& client) : m_client(client) {}

    void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;

private:
    TIdUDPClient& m_client;
};

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "net/sender.h"

namespace kavren::net {

class AdapterList;
class TIdUDPClient;

// The product's sender: the send sequence from the adapter list's current
// source address, read at every send.
class EndpointSender final : public DatagramSender {
public:
    EndpointSender(TIdUDPClient& client, const AdapterList& adapters)
        : m_client(client), m_adapters(adapters) {}

    void send(protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;

private:
    TIdUDPClient& m_client;
    const AdapterList& m_adapters;
};

}  // namespace kavren::net

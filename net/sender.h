// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "protocol/ipv4.h"

namespace kavren::net {

// Sends one datagram to port 62630 of `host` by the send sequence: a fresh
// socket bound to the source address, closed again also when a step fails.
// Failures are thrown as the endpoint layer's errors, unchanged.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;
    virtual void send(protocol::Ipv4Address host, bool broadcast,
                      std::span<const std::uint8_t> datagram) = 0;
};

}  // namespace kavren::net

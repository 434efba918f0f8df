// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "protocol/ipv4.h"

namespace kavren::net {

// Sends one datagram from the local adapter address `source` to port 62630
// of `host`, or to every host on the segment when `broadcast`. The one way
// both front ends send: the window by the send sequence (a fresh socket
// bound to the source, closed again also when a step fails), the command
// line through its exchange. Failures are thrown as the endpoint layer's
// errors, unchanged.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;
    virtual void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
                      std::span<const std::uint8_t> datagram) = 0;
};

}  // namespace kavren::net

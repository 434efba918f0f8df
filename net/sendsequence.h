// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "protocol/ipv4.h"
#include "protocol/packets.h"

namespace kavren::net {

class TIdUDPClient;

// Sends one datagram the way every datagram of the program goes out: a fresh
// socket bound to `source` (0.0.0.0: every local address) with a port the
// system picks, to `host` (for a broadcast to 255.255.255.255 with the
// broadcast permission on), closed again afterwards also when a step fails;
// the error then goes on unchanged.
void sendSequence(TIdUDPClient& client, protocol::Ipv4Address source, protocol::Ipv4Address host,
                  bool broadcast, std::span<const std::uint8_t> datagram,
                  std::uint16_t port = protocol::kDevicePort);

}  // namespace kavren::net

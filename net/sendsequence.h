// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/packets.h"

namespace kavren::net {

class TIdUDPClient;

inline constexpr std::string_view kLimitedBroadcast = "255.255.255.255";

// Sends one datagram the way every datagram of the program goes out: a fresh
// socket bound to `sourceAddress` (empty or "0.0.0.0": every local address)
// with a port the system picks, to `host` (for a broadcast to
// 255.255.255.255 with the broadcast permission on), closed again afterwards
// also when a step fails; the error then goes on unchanged.
void sendSequence(TIdUDPClient& client, const std::string& sourceAddress, std::string_view host,
                  bool broadcast, std::span<const std::uint8_t> datagram,
                  std::uint16_t port = protocol::kDevicePort);

}  // namespace kavren::net

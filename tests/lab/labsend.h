// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace kavren::lab {

// Sends one datagram to `port` on this namespace's loopback, as a device's
// reply reaches a receiver there. Refuses (returns false, sends nothing)
// outside an isolated lab; true when the whole datagram went out.
bool sendToLoopback(std::span<const std::uint8_t> datagram, std::uint16_t port = 62631);

}  // namespace kavren::lab

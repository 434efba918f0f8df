// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/textcodecs.h"

namespace kavren::cli {

using codec::ipv4Text;
using codec::ipv4Value;

// True when both addresses share the network part under `mask`.
bool sameSubnet(std::uint32_t a, std::uint32_t b, std::uint32_t mask);

// The net mask of the local interface address `address`, as the system
// reports it; nothing when no interface holds that address.
std::optional<std::uint32_t> localNetMask(const std::string& address);

}  // namespace kavren::cli

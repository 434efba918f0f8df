// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "protocol/textcodecs.h"

namespace kavren::cli {

// The net mask of the local interface address `address`, as the system
// reports it; nothing when no interface holds that address. Whether an
// address lies in a subnet is the devices layer's sameSubnet, the rule the
// window's address marks use too.
std::optional<std::string> localNetMask(const std::string& address);

}  // namespace kavren::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "protocol/ipv4.h"

namespace kavren::cli {

// The net masks of the local interface addresses, as the system reports them
// when this is made: asked once per run, the same adapter query the adapter
// list uses, so both see the same addresses on every platform. Whether an
// address lies in a subnet is the devices layer's sameSubnet, the rule the
// window's address marks use too.
class LocalNetMasks final {
public:
    LocalNetMasks();
    // The mask of the interface holding `address`; nothing when none does or
    // its mask is unknown.
    std::optional<protocol::Ipv4Address> of(protocol::Ipv4Address address) const;

private:
    std::vector<std::pair<protocol::Ipv4Address, protocol::Ipv4Address>> m_masks;
};

}  // namespace kavren::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/subnets.h"

#include "net/adapters.h"

namespace kavren::cli {

LocalNetMasks::LocalNetMasks() {
    const auto adapters = net::makePlatformAdapterQuery()->query();
    if (!adapters)
        return;
    for (const net::AdapterInfo& adapter : *adapters) {
        for (std::size_t i = 0; i < adapter.addresses.size() && i < adapter.netmasks.size(); ++i) {
            const auto address = protocol::Ipv4Address::parse(adapter.addresses[i]);
            const auto mask = protocol::Ipv4Address::parse(adapter.netmasks[i]);
            if (address && mask)
                m_masks.emplace_back(*address, *mask);
        }
    }
}

std::optional<protocol::Ipv4Address> LocalNetMasks::of(protocol::Ipv4Address address) const {
    for (const auto& [local, mask] : m_masks) {
        if (local == address)
            return mask;
    }
    return std::nullopt;
}

}  // namespace kavren::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/subnets.h"

#include "net/adapters.h"
#include "protocol/textcodecs.h"

namespace kavren::cli {

std::optional<std::string> localNetMask(const std::string& address) {
    // The same adapter query the adapter list uses, so both see the same
    // addresses on every platform.
    const auto adapters = net::makePlatformAdapterQuery()->query();
    if (!adapters)
        return std::nullopt;
    for (const net::AdapterInfo& adapter : *adapters) {
        for (std::size_t i = 0; i < adapter.addresses.size() && i < adapter.netmasks.size(); ++i) {
            if (adapter.addresses[i] == address)
                return adapter.netmasks[i];
        }
    }
    return std::nullopt;
}

}  // namespace kavren::cli

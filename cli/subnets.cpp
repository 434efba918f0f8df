// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/subnets.h"

#include "protocol/textcodecs.h"
#include "net/adapters.h"

namespace kavren::cli {

std::optional<std::uint32_t> ipv4Value(std::string_view text) {
    const codec::Ipv4Parse parsed = codec::parseIpv4(text);
    if (!parsed.valid)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const int part : parsed.values)
        value = (value << 8) | static_cast<std::uint32_t>(part);
    return value;
}

std::string ipv4Text(std::uint32_t value) {
    return codec::formatDotted(std::array<int, 4>{
        static_cast<int>((value >> 24) & 0xFFU), static_cast<int>((value >> 16) & 0xFFU),
        static_cast<int>((value >> 8) & 0xFFU), static_cast<int>(value & 0xFFU)});
}

bool sameSubnet(std::uint32_t a, std::uint32_t b, std::uint32_t mask) {
    return (a & mask) == (b & mask);
}

std::optional<std::uint32_t> localNetMask(const std::string& address) {
    // The same adapter query the adapter list uses, so both see the same
    // addresses on every platform.
    const auto adapters = makePlatformAdapterQuery()->query();
    if (!adapters)
        return std::nullopt;
    for (const AdapterInfo& adapter : *adapters) {
        for (std::size_t i = 0; i < adapter.addresses.size() && i < adapter.netmasks.size(); ++i) {
            if (adapter.addresses[i] == address)
                return ipv4Value(adapter.netmasks[i]);
        }
    }
    return std::nullopt;
}

}  // namespace kavren::cli

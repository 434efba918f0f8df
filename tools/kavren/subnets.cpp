#include "tools/kavren/subnets.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>

#include "devices/textcodecs.h"

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
    in_addr wanted{};
    if (inet_pton(AF_INET, address.c_str(), &wanted) != 1)
        return std::nullopt;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    std::optional<std::uint32_t> mask;
    for (const ifaddrs* entry = list; entry != nullptr && !mask; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
            entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in inet{};
        std::memcpy(&inet, entry->ifa_addr, sizeof inet);
        if (inet.sin_addr.s_addr != wanted.s_addr)
            continue;
        sockaddr_in netmask{};
        std::memcpy(&netmask, entry->ifa_netmask, sizeof netmask);
        mask = ntohl(netmask.sin_addr.s_addr);
    }
    freeifaddrs(list);
    return mask;
}

}  // namespace kavren::cli

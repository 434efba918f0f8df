// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "net/adapters.h"

namespace kavren::net {

namespace {

// The dotted text of an IPv4 socket address, empty for anything else.
std::string addressText(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET)
        return {};
    sockaddr_in inet{};
    std::memcpy(&inet, address, sizeof inet);
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &inet.sin_addr, text, sizeof text) == nullptr)
        return {};
    return text;
}

// Lists the adapters from getifaddrs, ordered by interface index so the list
// is the same on every start. The loopback adapter is left out, and so are
// adapters that are administratively down (the counterpart of a disabled
// adapter, which the Windows list does not show either). An adapter that is
// up but has no cable still appears.
class LinuxAdapterQuery final : public AdapterQuery {
public:
    std::optional<std::vector<AdapterInfo>> query() override {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) != 0)
            return std::nullopt;

        struct Found {
            AdapterInfo info;
            bool hasHardware = false;
        };
        std::map<unsigned, Found> byIndex;  // ordered by interface index

        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_name == nullptr)
                continue;
            if ((entry->ifa_flags & IFF_LOOPBACK) != 0 || (entry->ifa_flags & IFF_UP) == 0) {
                continue;
            }
            const unsigned index = if_nametoindex(entry->ifa_name);
            if (index == 0)
                continue;
            Found& found = byIndex[index];
            if (entry->ifa_addr == nullptr)
                continue;

            if (entry->ifa_addr->sa_family == AF_PACKET && !found.hasHardware) {
                sockaddr_ll link{};
                std::memcpy(&link, entry->ifa_addr, sizeof link);
                const std::size_t n = std::min<std::size_t>(link.sll_halen, 6);
                std::copy_n(link.sll_addr, n, found.info.mac.begin());
                found.hasHardware = true;
            } else if (entry->ifa_addr->sa_family == AF_INET) {
                const std::string address = addressText(entry->ifa_addr);
                if (!address.empty()) {
                    found.info.addresses.push_back(address);
                    const std::string mask = addressText(entry->ifa_netmask);
                    found.info.netmasks.push_back(mask.empty() ? "0.0.0.0" : mask);
                }
            }
        }
        freeifaddrs(list);

        std::vector<AdapterInfo> adapters;
        adapters.reserve(byIndex.size());
        for (auto& [index, found] : byIndex) {
            if (found.info.addresses.empty()) {
                found.info.addresses.emplace_back("0.0.0.0");
                found.info.netmasks.emplace_back("0.0.0.0");
            }
            adapters.push_back(std::move(found.info));
        }
        return adapters;
    }
};

}  // namespace

int interfaceIndexOf(const std::string& address) {
    in_addr wanted{};
    if (inet_pton(AF_INET, address.c_str(), &wanted) != 1)
        return 0;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return 0;
    int index = 0;
    for (const ifaddrs* entry = list; entry != nullptr && index == 0; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in inet{};
        std::memcpy(&inet, entry->ifa_addr, sizeof inet);
        if (inet.sin_addr.s_addr == wanted.s_addr) {
            index = static_cast<int>(if_nametoindex(entry->ifa_name));
        }
    }
    freeifaddrs(list);
    return index;
}

std::unique_ptr<AdapterQuery> makePlatformAdapterQuery() {
    return std::make_unique<LinuxAdapterQuery>();
}

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/labguard.h"

#include <net/if.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "tests/lab/labroutes.h"

namespace kavren::lab {
namespace {

std::string netnsOf(const char* procPath) {
    std::array<char, 128> buffer{};
    const ssize_t n = ::readlink(procPath, buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// The lab names its links kva0/kvb0 in the host namespace and kva1/kvb1 in
// the device namespaces.
bool isLabLink(const std::string& name) {
    return name == "lo" || name == "kva0" || name == "kvb0" || name == "kva1" || name == "kvb1";
}

bool onlyLabLinks(std::string* foreign) {
    struct if_nameindex* links = ::if_nameindex();
    if (links == nullptr) {
        *foreign = "(the link list cannot be read)";
        return false;
    }
    bool ok = true;
    for (const struct if_nameindex* entry = links; entry->if_index != 0; ++entry) {
        if (!isLabLink(entry->if_name)) {
            *foreign += std::string(foreign->empty() ? "" : ", ") + entry->if_name;
            ok = false;
        }
    }
    ::if_freenameindex(links);
    return ok;
}

// /proc/self/net/route shows the routes of the caller's own namespace.
bool hasDefaultRoute() {
    std::ifstream routes("/proc/self/net/route");
    return routesHaveDefault(routes);
}

}  // namespace

bool isIsolated(std::string* why) {
    std::string reason;
    const char* lab = std::getenv("KAVREN_LAB");
    const std::string self = netnsOf("/proc/self/ns/net");
    const std::string machine = netnsOf("/proc/1/ns/net");
    const char* outer = std::getenv("KAVREN_LAB_OUTER_NETNS");
    std::string foreign;
    if (lab == nullptr || std::string(lab) != "1") {
        reason = "KAVREN_LAB is not set";
    } else if (self.empty()) {
        reason = "the network namespace of this process cannot be read";
    } else if (self == machine || (outer != nullptr && self == outer)) {
        reason = "this process runs in the machine's own network namespace (" + self + ")";
    } else if (!onlyLabLinks(&foreign)) {
        reason = "links other than the lab's are present: " + foreign;
    } else if (hasDefaultRoute()) {
        reason = "this namespace has a default route";
    }
    if (why != nullptr) {
        *why = reason;
    }
    return reason.empty();
}

std::string notIsolatedMessage(const std::string& why) {
    return "refusing to send outside the isolated test lab: " + why +
           ". Run lab tests through ctest (they start in tools/lab/lab.sh), or by hand as "
           "'tools/lab/lab.sh run -- <test executable>'.";
}

}  // namespace kavren::lab

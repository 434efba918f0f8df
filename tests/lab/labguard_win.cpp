// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/lab/labguard.h"
#include "tests/lab/labroutes.h"

// The guard of a Windows test program under Wine. Its sockets live in the
// wineserver, which tools/windows/wine-lab.sh starts inside the lab after
// checking its namespace, and announces in KAVREN_WINE_LAB_NETNS. The
// program itself runs in the same namespace; its route and link tables are
// read through Wine's drive Z:, which is the Linux file system.
namespace kavren::lab {
namespace {

bool hasDefaultRoute() {
    std::ifstream routes("Z:\\proc\\self\\net\\route");
    return routesHaveDefault(routes);
}

// The links of the namespace from /proc/self/net/dev ("name: counters").
bool onlyLabLinks(std::string* foreign, bool* readable) {
    std::ifstream dev("Z:\\proc\\self\\net\\dev");
    *readable = static_cast<bool>(dev);
    std::string line;
    std::getline(dev, line);
    std::getline(dev, line);  // two title lines
    bool ok = true;
    while (std::getline(dev, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream nameField(line.substr(0, colon));
        std::string name;
        nameField >> name;
        if (name != "lo" && name != "kva0" && name != "kvb0") {
            *foreign += std::string(foreign->empty() ? "" : ", ") + name;
            ok = false;
        }
    }
    return ok;
}

}  // namespace

bool isIsolated(std::string* why) {
    std::string reason;
    const char* lab = std::getenv("KAVREN_LAB");
    const char* wineLab = std::getenv("KAVREN_WINE_LAB_NETNS");
    std::string foreign;
    bool readable = false;
    if (lab == nullptr || std::string(lab) != "1") {
        reason = "KAVREN_LAB is not set";
    } else if (wineLab == nullptr || std::string(wineLab).empty()) {
        reason = "the wineserver was not started in the lab by tools/windows/wine-lab.sh";
    } else if (!onlyLabLinks(&foreign, &readable) || !readable) {
        reason = readable ? "links other than the lab's are present: " + foreign
                          : "the link table cannot be read";
    } else if (hasDefaultRoute()) {
        reason = "this namespace has a default route";
    }
    if (why != nullptr)
        *why = reason;
    return reason.empty();
}

std::string notIsolatedMessage(const std::string& why) {
    return "refusing to send outside the isolated test lab: " + why +
           ". Run Windows tests as 'tools/lab/lab.sh run -- tools/windows/wine-lab.sh ...'.";
}

}  // namespace kavren::lab

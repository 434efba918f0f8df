// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/labroutes.h"

#include <sstream>
#include <string>

namespace kavren::lab {

bool routesHaveDefault(std::istream& routes) {
    std::string line;
    std::getline(routes, line);  // column titles
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string link, destination, gateway, flags, refs, use, metric, mask;
        fields >> link >> destination >> gateway >> flags >> refs >> use >> metric >> mask;
        if (destination == "00000000" && mask == "00000000")
            return true;
    }
    return false;
}

}  // namespace kavren::lab

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/udpcounters.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kavren::lab {

std::int64_t udpCounter(std::string_view name) {
    // Two "Udp:" lines: the names, then the values in the same order.
    std::ifstream snmp("/proc/net/snmp");
    std::vector<std::string> names;
    for (std::string line; std::getline(snmp, line);) {
        if (!line.starts_with("Udp:"))
            continue;
        std::istringstream fields(line.substr(4));
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        if (names.empty()) {
            names = std::move(words);
            continue;
        }
        for (std::size_t i = 0; i < names.size() && i < words.size(); ++i) {
            if (names[i] == name)
                return std::stoll(words[i]);
        }
        return -1;
    }
    return -1;
}

}  // namespace kavren::lab

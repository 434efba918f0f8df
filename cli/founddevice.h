// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kavren::cli {

// One device as a discovery found it: the grid's texts of its reply, the
// adapter address whose request it answered and the address the reply came
// from. Texts are the device's bytes, unconverted.
struct FoundDevice {
    std::string mac;  // "00-1A-2B-3C-4D-5E"
    std::string name;
    std::string version;
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string description;
    std::string foundVia;  // adapter address the request went out from
    std::string sender;    // source address of the reply
};

}  // namespace kavren::cli

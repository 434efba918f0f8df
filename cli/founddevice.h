// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

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
    // Replies with the same MAC from other senders, each with its own texts
    // (and no rivals of its own), in the order they came; at most
    // DeviceSenders::kRivalsKept. Any host can answer with a listed MAC, so
    // a device claimed by two senders is not sent to until one is trusted.
    std::vector<FoundDevice> rivals{};
};

// Another reply for `listed` (same MAC): its sender, and those of its own
// rivals, are kept as rivals when they are new for the device.
void addClaim(FoundDevice& listed, FoundDevice claim);
// The device as the reply of `sender` described it, without rivals: the
// one to send to once the user has named its sender. nullopt when neither
// the device's first reply nor any rival came from `sender`.
std::optional<FoundDevice> trustedClaim(const FoundDevice& device, const std::string& sender);
// Every sender of the device, "a, b and c".
std::string claimantsText(const FoundDevice& device);

}  // namespace kavren::cli

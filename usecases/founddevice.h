// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "devices/devicerecord.h"
#include "usecases/deviceport.h"

namespace kavren::usecases {

// One device as a discovery found it: the record its reply describes, as the
// window lists it too, with the adapter address whose request it answered and
// the address the reply came from. Texts are the device's bytes, unconverted.
struct FoundDevice : devices::DeviceRecord {
    protocol::Ipv4Address foundVia;  // adapter address the request went out from
    protocol::Ipv4Address sender;    // source address of the reply
    // Replies with the same MAC from other senders, each with its own texts
    // (and no rivals of its own), in the order they came; at most
    // DeviceSenders::kRivalsKept. Any host can answer with a listed MAC, so
    // a device claimed by two senders is not sent to until one is trusted.
    std::vector<FoundDevice> rivals{};
};

// The device as the reply of `sender` described it, without rivals: the
// one to send to once the user has named its sender. nullopt when neither
// the device's first reply nor any rival came from `sender`.
std::optional<FoundDevice> trustedClaim(const FoundDevice& device, protocol::Ipv4Address sender);
// Every sender of the device, "a, b and c".
std::string claimantsText(const FoundDevice& device);

// The settings a configuration request carries, as device texts.
struct DeviceSettings {
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string description;

    bool operator==(const DeviceSettings&) const = default;
};

// Whether a device reports these settings, as it would once it took them
// (the description is cut to the request's field).
bool reportsSettings(const devices::DeviceRecord& found, const DeviceSettings& target);

// How one discovery goes: one round per adapter address, one after the
// other, so the adapter whose request a device answered is known without
// asking the system which interface a reply came in on. Within each round's
// `timeout` the request goes out `1 + retries` times, evenly spread.
struct DiscoveryRounds {
    std::vector<protocol::Ipv4Address> adapters;
    std::chrono::milliseconds timeout{2000};
    int retries = 0;
    std::size_t maxDevices = devices::DeviceList::kMaxDevices;
};

struct DiscoveryResult {
    std::vector<FoundDevice> devices;  // in the order they first answered
    bool leftOut = false;              // a device beyond maxDevices was not listed
};

// What a discovery tells as it goes, for a progress display.
struct DiscoveryProgress {
    // Before each adapter's round.
    std::function<void(protocol::Ipv4Address adapter)> roundStarts;
    // Each device the first time a round hears it, also one an earlier round
    // listed already: a count of these per round is what each adapter found.
    std::function<void()> heard;
};

// Discovers through `port`, merging replies by MAC into a device list as
// the window does (catalogue): the first reply of a device counts and names
// its adapter, replies from other senders are kept beside it.
DiscoveryResult findDevices(DevicePort& port, const RunClock& clock, const DiscoveryRounds& rounds,
                            const DiscoveryProgress& progress = {});

}  // namespace kavren::usecases

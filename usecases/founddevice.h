// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "devices/devicelist.h"
#include "devices/devicerecord.h"
#include "usecases/deviceport.h"
#include "usecases/discovery.h"

namespace kavren::usecases {

// A reply with a listed device's MAC from another sender, kept as that
// reply described it: any host can answer with a listed MAC, so a device
// claimed by two senders is not sent to until one is trusted.
struct RivalClaim {
    devices::DeviceRecord record;
    protocol::Ipv4Address foundVia;  // adapter address the request went out from
    protocol::Ipv4Address sender;    // source address of the reply
};

// One device as a discovery found it: its record, the device list's own (or
// a rival's), with what only the command line keeps beside it: the adapter
// address whose request it answered, the address its reply came from and
// the other senders of its MAC. It points into the FoundDevices it came
// from and lives no longer. Texts are the device's bytes, unconverted.
struct FoundDevice {
    const devices::DeviceRecord* record = nullptr;
    protocol::Ipv4Address foundVia;
    protocol::Ipv4Address sender;
    // In the order they came; at most DeviceSenders::kRivalsKept.
    std::span<const RivalClaim> rivals{};

    const devices::DeviceRecord* operator->() const { return record; }
};

// The device as the reply of `sender` described it, without rivals: the
// one to send to once the user has named its sender. nullopt when neither
// the device's first reply nor any rival came from `sender`.
std::optional<FoundDevice> trustedClaim(const FoundDevice& device, protocol::Ipv4Address sender);

// What a discovery found: the device list, merged by MAC by the catalogue
// both front ends use, and beside it the side tables only the command line
// needs (the adapter of each device's first reply, each rival's reply).
// Devices are read where they are listed, never copied out; moving this
// leaves every FoundDevice taken from it valid.
class FoundDevices final {
public:
    explicit FoundDevices(std::size_t maxDevices = devices::DeviceList::kMaxDevices);

    std::size_t size() const { return m_foundVia.size(); }
    bool empty() const { return m_foundVia.empty(); }
    // The i-th device to answer, from 0.
    FoundDevice operator[](std::size_t i) const;
    std::optional<FoundDevice> byMac(std::string_view mac) const;
    // A device beyond the list's bound was not listed.
    bool leftOut() const { return m_leftOut; }

    // Takes one datagram that answered the request sent from `adapter`.
    Catalogued take(std::span<const std::uint8_t> datagram, protocol::Ipv4Address sender,
                    protocol::Ipv4Address adapter);
    // Lists a device known without its datagram (tools, tests) as take()
    // would: a MAC listed already makes it a rival claim.
    void add(devices::DeviceRecord record, protocol::Ipv4Address foundVia,
             protocol::Ipv4Address sender);

    class Iterator {
    public:
        using value_type = FoundDevice;
        using difference_type = std::ptrdiff_t;
        Iterator() = default;
        Iterator(const FoundDevices* devices, std::size_t i) : m_devices(devices), m_i(i) {}
        FoundDevice operator*() const { return (*m_devices)[m_i]; }
        Iterator& operator++() {
            ++m_i;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++m_i;
            return before;
        }
        bool operator==(const Iterator& other) const { return m_i == other.m_i; }

    private:
        const FoundDevices* m_devices = nullptr;
        std::size_t m_i = 0;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size()}; }

private:
    // Behind a pointer so that moving the whole keeps the records in place.
    std::unique_ptr<devices::DeviceList> m_list;
    std::vector<protocol::Ipv4Address> m_foundVia;  // by device number - 1
    std::unordered_map<int, std::vector<RivalClaim>> m_rivals;
    bool m_leftOut = false;
};

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
FoundDevices findDevices(DevicePort& port, const RunClock& clock, const DiscoveryRounds& rounds,
                         const DiscoveryProgress& progress = {});

}  // namespace kavren::usecases

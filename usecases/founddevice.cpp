// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/founddevice.h"

#include <algorithm>
#include <unordered_map>

#include "devices/devicerecord.h"
#include "devices/devicesenders.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "usecases/configuration.h"

namespace kavren::usecases {

void addClaim(FoundDevice& listed, FoundDevice claim) {
    auto keep = [&listed](FoundDevice&& other) {
        const bool known =
            other.sender.isAny() || other.sender == listed.sender ||
            std::any_of(listed.rivals.begin(), listed.rivals.end(),
                        [&](const FoundDevice& r) { return r.sender == other.sender; });
        if (known || listed.rivals.size() >= devices::DeviceSenders::kRivalsKept)
            return;
        other.rivals.clear();
        listed.rivals.push_back(std::move(other));
    };
    std::vector<FoundDevice> more = std::move(claim.rivals);
    keep(std::move(claim));
    for (FoundDevice& other : more)
        keep(std::move(other));
}

std::optional<FoundDevice> trustedClaim(const FoundDevice& device, protocol::Ipv4Address sender) {
    if (device.sender == sender) {
        FoundDevice trusted = device;
        trusted.rivals.clear();
        return trusted;
    }
    for (const FoundDevice& rival : device.rivals) {
        if (rival.sender == sender)
            return rival;
    }
    return std::nullopt;
}

std::string claimantsText(const FoundDevice& device) {
    std::string text = device.sender.text();
    for (std::size_t i = 0; i < device.rivals.size(); ++i) {
        text += i + 1 == device.rivals.size() ? " and " : ", ";
        text += device.rivals[i].sender.text();
    }
    return text;
}

bool reportsSettings(const devices::DeviceRecord& found, const DeviceSettings& target) {
    using protocol::Ipv4Address;
    return Ipv4Address::parse(found.deviceIp) == Ipv4Address::parse(target.ip) &&
           Ipv4Address::parse(found.mask) == Ipv4Address::parse(target.mask) &&
           Ipv4Address::parse(found.gateway) == Ipv4Address::parse(target.gateway) &&
           found.description == target.description.substr(0, protocol::kConfigDescriptionWidth);
}

DiscoveryResult findDevices(DevicePort& port, const RunClock& clock, const DiscoveryRounds& rounds,
                            const DiscoveryProgress& progress) {
    DiscoveryResult result;
    std::vector<FoundDevice>& found = result.devices;
    // Reserved, not touched: a page costs memory only once a device fills it,
    // and a flood of invented devices never has the list copied as it grows.
    found.reserve(std::min<std::size_t>(rounds.maxDevices, devices::DeviceList::kMaxDevices));
    std::unordered_map<std::string, std::size_t> listed;
    const protocol::DiscoveryRequest request = protocol::buildDiscoveryRequest();
    const int sends = 1 + (rounds.retries > 0 ? rounds.retries : 0);

    for (const protocol::Ipv4Address adapter : rounds.adapters) {
        if (progress.roundStarts)
            progress.roundStarts(adapter);
        std::vector<bool> heard(found.size());  // by device, in this round
        const auto start = clock.now();
        const auto roundEnd = start + rounds.timeout;
        for (int k = 0; k < sends; ++k) {
            port.send(adapter, protocol::kLimitedBroadcast, true, request);
            const auto nextSend =
                k + 1 < sends ? start + rounds.timeout * (k + 1) / sends : roundEnd;
            port.receive(
                nextSend, [&](std::span<const std::uint8_t> data, protocol::Ipv4Address peer) {
                    std::optional<devices::DeviceRecord> record = devices::deviceRecordOf(data);
                    if (!record)
                        return false;
                    const auto it = listed.find(record->mac);
                    if (it == listed.end() && found.size() >= rounds.maxDevices) {
                        result.leftOut = true;
                        return false;
                    }
                    FoundDevice device{std::move(*record), adapter, peer};
                    const std::size_t index = it != listed.end() ? it->second : found.size();
                    if (index >= heard.size())
                        heard.resize(index + 1);
                    if (!heard[index]) {
                        heard[index] = true;
                        if (progress.heard)
                            progress.heard(device);
                    }
                    if (it != listed.end()) {
                        addClaim(found[it->second], std::move(device));
                        return false;
                    }
                    listed.emplace(device.mac, found.size());
                    found.push_back(std::move(device));
                    return false;
                });
        }
    }
    return result;
}

}  // namespace kavren::usecases

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/founddevice.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "devices/devicerecord.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "usecases/configuration.h"
#include "usecases/discovery.h"

namespace kavren::usecases {

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
    return found.deviceIp == Ipv4Address::parse(target.ip) &&
           found.mask == Ipv4Address::parse(target.mask) &&
           found.gateway == Ipv4Address::parse(target.gateway) &&
           found.description == target.description.substr(0, protocol::kConfigDescriptionWidth);
}

DiscoveryResult findDevices(DevicePort& port, const RunClock& clock, const DiscoveryRounds& rounds,
                            const DiscoveryProgress& progress) {
    // The window's catalogue, sized for a discovery; beside it what only the
    // command line keeps: the adapter of each device's first reply, and the
    // whole reply of each rival sender (the rare device claimed twice).
    devices::DeviceList list(256, static_cast<int>(std::min<std::size_t>(
                                      rounds.maxDevices, devices::DeviceList::kMaxDevices)));
    std::vector<protocol::Ipv4Address> foundVia;
    std::unordered_map<int, std::vector<FoundDevice>> rivals;
    DiscoveryResult result;
    const int sends = 1 + (rounds.retries > 0 ? rounds.retries : 0);

    for (const protocol::Ipv4Address adapter : rounds.adapters) {
        if (progress.roundStarts)
            progress.roundStarts(adapter);
        std::unordered_set<int> heard;
        const auto start = clock.now();
        const auto roundEnd = start + rounds.timeout;
        for (int k = 0; k < sends; ++k) {
            port.send(adapter, protocol::kLimitedBroadcast, true, protocol::discoveryRequest());
            const auto nextSend =
                k + 1 < sends ? start + rounds.timeout * (k + 1) / sends : roundEnd;
            port.receive(nextSend,
                         [&](std::span<const std::uint8_t> data, protocol::Ipv4Address peer) {
                             const Catalogued caught = catalogue(list, data, peer);
                             switch (caught.heard) {
                                 case Heard::Listed:
                                     foundVia.push_back(adapter);
                                     break;
                                 case Heard::RivalSender:
                                     rivals[caught.device].push_back(
                                         {devices::deviceRecordOf(
                                              std::get<protocol::DeviceInfoReply>(caught.reply)),
                                          adapter, peer});
                                     break;
                                 case Heard::Updated:
                                     break;
                                 case Heard::ListFull:
                                     result.leftOut = true;
                                     return false;
                                 default:
                                     return false;
                             }
                             if (heard.insert(caught.device).second && progress.heard)
                                 progress.heard();
                             return false;
                         });
        }
    }
    result.devices.reserve(static_cast<std::size_t>(list.size()));
    for (int n = 1; n <= list.size(); ++n) {
        FoundDevice& device = result.devices.emplace_back(FoundDevice{
            static_cast<const devices::DeviceRecord&>(list.device(n)),
            foundVia[static_cast<std::size_t>(n - 1)], protocol::Ipv4Address(list.firstSender(n))});
        if (const auto it = rivals.find(n); it != rivals.end())
            device.rivals = std::move(it->second);
    }
    return result;
}

}  // namespace kavren::usecases

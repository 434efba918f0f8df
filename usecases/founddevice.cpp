// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/founddevice.h"

#include <algorithm>
#include <unordered_set>

#include "devices/devicerecord.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "usecases/configuration.h"
#include "usecases/discovery.h"

namespace kavren::usecases {

std::optional<FoundDevice> trustedClaim(const FoundDevice& device, protocol::Ipv4Address sender) {
    if (device.sender == sender)
        return FoundDevice{device.record, device.foundVia, device.sender};
    for (const RivalClaim& rival : device.rivals) {
        if (rival.sender == sender)
            return FoundDevice{&rival.record, rival.foundVia, rival.sender};
    }
    return std::nullopt;
}

// Sized for a discovery: the MAC index starts small and grows with the list.
FoundDevices::FoundDevices(std::size_t maxDevices)
    : m_list(std::make_unique<devices::DeviceList>(
          256,
          static_cast<int>(std::min<std::size_t>(maxDevices, devices::DeviceList::kMaxDevices)))) {}

FoundDevice FoundDevices::operator[](std::size_t i) const {
    const int n = static_cast<int>(i) + 1;
    const auto rivals = m_rivals.find(n);
    return {&m_list->device(n), m_foundVia[i], protocol::Ipv4Address(m_list->firstSender(n)),
            rivals != m_rivals.end() ? std::span<const RivalClaim>(rivals->second)
                                     : std::span<const RivalClaim>()};
}

std::optional<FoundDevice> FoundDevices::byMac(std::string_view mac) const {
    const std::optional<int> n = m_list->findByMac(mac);
    if (!n)
        return std::nullopt;
    return (*this)[static_cast<std::size_t>(*n - 1)];
}

Catalogued FoundDevices::take(std::span<const std::uint8_t> datagram, protocol::Ipv4Address sender,
                              protocol::Ipv4Address adapter) {
    Catalogued caught = catalogue(*m_list, datagram, sender);
    switch (caught.heard) {
        case Heard::Listed:
            m_foundVia.push_back(adapter);
            break;
        case Heard::RivalSender:
            m_rivals[caught.device].push_back(
                {devices::deviceRecordOf(std::get<protocol::DeviceInfoReply>(caught.reply)),
                 adapter, sender});
            break;
        case Heard::ListFull:
            m_leftOut = true;
            break;
        default:
            break;
    }
    return caught;
}

void FoundDevices::add(devices::DeviceRecord record, protocol::Ipv4Address foundVia,
                       protocol::Ipv4Address sender) {
    if (const std::optional<int> n = m_list->findByMac(record.mac)) {
        m_rivals[*n].push_back({std::move(record), foundVia, sender});
        return;
    }
    m_list->append(std::move(record), sender.value());
    m_foundVia.push_back(foundVia);
}

FoundDevices findDevices(DevicePort& port, const RunClock& clock, const DiscoveryRounds& rounds,
                         const DiscoveryProgress& progress) {
    FoundDevices found(rounds.maxDevices);
    const int sends = 1 + (rounds.retries > 0 ? rounds.retries : 0);

    for (const protocol::Ipv4Address adapter : rounds.adapters) {
        if (progress.roundStarts)
            progress.roundStarts(adapter);
        std::unordered_set<int> heard;
        const auto start = clock.now();
        const auto roundEnd = start + rounds.timeout;
        for (int k = 0; k < sends; ++k) {
            sendDiscoveryRequest(port, adapter);
            const auto nextSend =
                k + 1 < sends ? start + rounds.timeout * (k + 1) / sends : roundEnd;
            port.receive(nextSend,
                         [&](std::span<const std::uint8_t> data, protocol::Ipv4Address peer) {
                             const Catalogued caught = found.take(data, peer, adapter);
                             const bool device = caught.heard == Heard::Listed ||
                                                 caught.heard == Heard::Updated ||
                                                 caught.heard == Heard::RivalSender;
                             if (device && heard.insert(caught.device).second && progress.heard)
                                 progress.heard();
                             return false;
                         });
        }
    }
    return found;
}

}  // namespace kavren::usecases

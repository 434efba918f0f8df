// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/devicefinder.h"

#include <QDateTime>

#include "devices/devicelist.h"

namespace kavren::cli {

std::string SystemRunClock::utcText() const {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

DeviceFinder::DeviceFinder(std::map<protocol::Ipv4Address, protocol::Ipv4Address> masks)
    : m_masks(std::move(masks)), m_maxDevices(devices::DeviceList::kMaxDevices) {}

void DeviceFinder::send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
                        std::span<const std::uint8_t> datagram) {
    m_exchange.send(source, host, broadcast, datagram);
    ++m_sent;
}

std::optional<protocol::Ipv4Address> DeviceFinder::adapterMask(protocol::Ipv4Address address) {
    const auto it = m_masks.find(address);
    if (it == m_masks.end())
        return std::nullopt;
    return it->second;
}

usecases::FoundDevices DeviceFinder::discover(const std::vector<protocol::Ipv4Address>& adapters,
                                              std::chrono::milliseconds timeout, int retries,
                                              const usecases::DiscoveryProgress& progress) {
    const SystemRunClock clock;
    usecases::FoundDevices found = usecases::findDevices(
        *this, clock,
        {.adapters = adapters, .timeout = timeout, .retries = retries, .maxDevices = m_maxDevices},
        progress);
    if (found.leftOut())
        m_leftOut = true;
    return found;
}

}  // namespace kavren::cli

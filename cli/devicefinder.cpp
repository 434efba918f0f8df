// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/devicefinder.h"

#include <QDateTime>

#include "cli/subnets.h"
#include "devices/devicelist.h"

namespace kavren::cli {

std::string SystemRunClock::utcText() const {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

DeviceFinder::DeviceFinder() : m_maxDevices(devices::DeviceList::kMaxDevices) {}

void DeviceFinder::send(const std::string& source, std::string_view host, bool broadcast,
                        std::span<const std::uint8_t> datagram) {
    m_exchange.send(source, host, broadcast, datagram);
    ++m_sent;
}

std::optional<std::string> DeviceFinder::adapterMask(const std::string& address) {
    return localNetMask(address);
}

std::vector<usecases::FoundDevice> DeviceFinder::discover(
    const std::vector<std::string>& adapters, std::chrono::milliseconds timeout, int retries,
    const usecases::DiscoveryProgress& progress) {
    const SystemRunClock clock;
    usecases::DiscoveryResult result = usecases::findDevices(
        *this, clock,
        {.adapters = adapters, .timeout = timeout, .retries = retries, .maxDevices = m_maxDevices},
        progress);
    if (result.leftOut)
        m_leftOut = true;
    return std::move(result.devices);
}

}  // namespace kavren::cli

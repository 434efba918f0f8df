// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/devicefinder.h"

#include <QDateTime>

#include "cli/subnets.h"
#include "devices/devicegrid.h"
#include "net/sendsequence.h"
#include "protocol/packets.h"

namespace kavren::cli {

std::string SystemRunClock::utcText() const {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

DeviceFinder::DeviceFinder() : m_maxDevices(DeviceGrid::kMaxDevices) {
    // As in the window: a queued datagram is never larger than a reply needs.
    m_server.setBufferSize(static_cast<int>(packet::kReceiveBufferSize));
    m_server.OnWake = [this] {
        {
            const std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_wake.notify_one();
    };
    m_server.OnUDPRead = [this](TIdUDPServer&, std::span<const std::uint8_t> data,
                                TIdSocketHandle& binding) {
        if (m_handler && !m_done)
            m_done = m_handler(data, binding.peerIP());
    };
}

DeviceFinder::~DeviceFinder() {
    m_server.setActive(false);
}

void DeviceFinder::open() {
    m_server.setActive(true);
}

void DeviceFinder::send(const std::string& source, std::string_view host, bool broadcast,
                        std::span<const std::uint8_t> datagram) {
    sendSequence(m_client, source, host, broadcast, datagram);
    ++m_sent;
}

void DeviceFinder::receive(Clock::time_point deadline, const DatagramHandler& handler) {
    m_handler = handler;
    m_done = false;
    while (!m_done) {
        // Datagrams are handed over in small portions so that a flood cannot
        // keep this loop from looking at the clock.
        while (!m_done && m_server.deliverPending(256)) {
            if (Clock::now() >= deadline)
                break;
        }
        if (m_done || Clock::now() >= deadline)
            break;
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, deadline, [this] { return m_woken; });
        m_woken = false;
    }
    m_handler = nullptr;
}

std::optional<std::string> DeviceFinder::adapterMask(const std::string& address) {
    return localNetMask(address);
}

std::vector<FoundDevice> DeviceFinder::discover(
    const std::vector<std::string>& adapters, std::chrono::milliseconds timeout, int retries,
    const std::function<void(const FoundDevice&)>& onFound) {
    const SystemRunClock clock;
    DiscoveryResult result = findDevices(
        *this, clock,
        {.adapters = adapters, .timeout = timeout, .retries = retries, .maxDevices = m_maxDevices},
        onFound);
    if (result.leftOut)
        m_leftOut = true;
    return std::move(result.devices);
}

}  // namespace kavren::cli

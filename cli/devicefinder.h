// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/datagramexchange.h"
#include "usecases/deviceport.h"
#include "usecases/founddevice.h"

namespace kavren::cli {

// The command line's device port: the endpoints of a DatagramExchange,
// open for the whole run, and the adapter masks of the run's adapter query.
class DeviceFinder final : public usecases::DevicePort {
public:
    explicit DeviceFinder(std::map<protocol::Ipv4Address, protocol::Ipv4Address> masks);

    // Opens the receiving endpoint; throws the endpoint layer's error (for
    // example when another program holds the port).
    void open() { m_exchange.open(); }
    // Stops receiving: replies that still arrive are not queued for nobody.
    void close() { m_exchange.close(); }

    // findDevices over this port and the system clock; a device beyond
    // maxDevices() is noted as left out.
    usecases::FoundDevices discover(const std::vector<protocol::Ipv4Address>& adapters,
                                    std::chrono::milliseconds timeout, int retries,
                                    const usecases::DiscoveryProgress& progress = {});

    void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;
    void receive(Clock::time_point deadline, const DatagramHandler& handler) override {
        m_exchange.receive(deadline, handler);
    }
    // As the run's adapter query reported it: the adapters are asked once
    // per run, not once per request.
    std::optional<protocol::Ipv4Address> adapterMask(protocol::Ipv4Address address) override;

    std::uint64_t datagramsSent() const { return m_sent; }
    // Devices listed per discovery at most; a device beyond it was left out.
    void setMaxDevices(std::size_t maxDevices) { m_maxDevices = maxDevices; }
    std::size_t maxDevices() const { return m_maxDevices; }
    bool devicesLeftOut() const { return m_leftOut; }
    void noteDevicesLeftOut() { m_leftOut = true; }

private:
    net::DatagramExchange m_exchange;
    std::map<protocol::Ipv4Address, protocol::Ipv4Address> m_masks;
    std::uint64_t m_sent = 0;
    std::size_t m_maxDevices;
    bool m_leftOut = false;
};

// The steady clock to wait by, and UTC for the audit trail's times.
class SystemRunClock final : public usecases::RunClock {
public:
    usecases::DevicePort::Clock::time_point now() const override {
        return usecases::DevicePort::Clock::now();
    }
    std::string utcText() const override;
};

}  // namespace kavren::cli

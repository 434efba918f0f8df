// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/founddevice.h"
#include "net/idudpclient.h"
#include "net/idudpserver.h"

namespace kavren::cli {

// The command line's use of the product's endpoints: the receiving endpoint
// on port 62631, open for the whole run so that result messages and late
// replies are not missed, and the sending endpoint with its send sequence.
// Everything runs on the calling thread; the receive thread only wakes it.
class DeviceFinder final {
public:
    using Clock = std::chrono::steady_clock;
    // Told about every datagram; returns true when the wait may end early.
    using DatagramHandler =
        std::function<bool(std::span<const std::uint8_t> data, const std::string& peer)>;

    DeviceFinder();
    ~DeviceFinder();
    DeviceFinder(const DeviceFinder&) = delete;
    DeviceFinder& operator=(const DeviceFinder&) = delete;

    // Opens the receiving endpoint; throws the endpoint layer's error (for
    // example when another program holds the port).
    void open();

    // One discovery round per adapter address, one after the other, so the
    // adapter whose request a device answered is known without asking the
    // system which interface a reply came in on. Within each round's
    // `timeout` the request goes out `1 + retries` times, evenly spread.
    // Devices are merged by MAC text; the first round that finds one names
    // its adapter. `onFound` is told about each new device as it comes.
    std::vector<FoundDevice> discover(const std::vector<std::string>& adapters,
                                      std::chrono::milliseconds timeout, int retries,
                                      const std::function<void(const FoundDevice&)>& onFound = {});

    // One datagram by the send sequence, bound to `source`.
    void send(const std::string& source, std::string_view host, bool broadcast,
              std::span<const std::uint8_t> datagram);

    // Hands every received datagram to `handler` until `deadline`, or until
    // the handler returns true.
    void collect(Clock::time_point deadline, const DatagramHandler& handler);

    std::uint64_t datagramsSent() const { return m_sent; }
    // Devices listed per discovery at most; a device beyond it was left out.
    void setMaxDevices(std::size_t maxDevices) { m_maxDevices = maxDevices; }
    std::size_t maxDevices() const { return m_maxDevices; }
    bool devicesLeftOut() const { return m_leftOut; }
    void noteDevicesLeftOut() { m_leftOut = true; }

private:
    TIdUDPServer m_server;
    TIdUDPClient m_client;
    DatagramHandler m_handler;
    bool m_done = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
    std::uint64_t m_sent = 0;
    std::size_t m_maxDevices;
    bool m_leftOut = false;
};

}  // namespace kavren::cli

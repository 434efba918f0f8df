// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "net/sender.h"
#include "protocol/ipv4.h"

namespace kavren::usecases {

// What the device core needs from the network: datagrams out from one of
// this host's adapter addresses (the sender both front ends send through),
// datagrams in with the address they came from, and the net mask of an
// adapter. The command line implements it over the receiving endpoint and
// the send sequence; tests implement it in memory.
class DevicePort : public net::DatagramSender {
public:
    using Clock = std::chrono::steady_clock;
    // Told about every received datagram; returns true when the wait may end
    // early.
    using DatagramHandler =
        std::function<bool(std::span<const std::uint8_t> data, protocol::Ipv4Address sender)>;

    // Hands every received datagram to `handler` until `deadline`, or until
    // the handler returns true.
    virtual void receive(Clock::time_point deadline, const DatagramHandler& handler) = 0;
    // The net mask of the local adapter holding `address`; nothing when no
    // adapter holds it.
    virtual std::optional<protocol::Ipv4Address> adapterMask(protocol::Ipv4Address address) = 0;
};

// The time a run waits by, and the wall-clock time it writes down. Injected
// so that a test can play time forward without sleeping.
class RunClock {
public:
    virtual ~RunClock() = default;
    virtual DevicePort::Clock::time_point now() const = 0;
    // The current UTC time as ISO 8601 with milliseconds.
    virtual std::string utcText() const = 0;
};

}  // namespace kavren::usecases

// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-ins every test area builds its subject on: a sender that records
// instead of sending, an adapter query with a fixed answer, a status sink
// that keeps what was shown, the update use case's prompts and window side,
// and a device port with its own clock. None of them touches a socket or a
// widget.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/devicerecord.h"
#include "net/adapters.h"
#include "net/sender.h"
#include "usecases/deviceport.h"
#include "usecases/discovery.h"
#include "usecases/founddevice.h"
#include "usecases/updatecommands.h"
#include "usecases/updateprompts.h"

namespace kavren::testsupport {

// The address a test writes as text; the test's own texts are always valid.
inline protocol::Ipv4Address ipv4(std::string_view text) {
    return protocol::Ipv4Address::parse(text).value();
}

// Settings a test writes as texts; an empty text is an address not known.
inline devices::DeviceSettings settings(std::string_view ip, std::string_view mask,
                                        std::string_view gateway, std::string description) {
    return {protocol::Ipv4Address::parse(ip), protocol::Ipv4Address::parse(mask),
            protocol::Ipv4Address::parse(gateway), std::move(description)};
}

// Records what would have been sent; can be told to fail instead.
class RecordingSender final : public net::DatagramSender {
public:
    struct Sent {
        std::string host;
        bool broadcast = false;
        std::vector<std::uint8_t> bytes;
        std::string source;
    };
    void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;

    std::vector<Sent> sent;
    // Where each datagram lay when it was handed over, for the checks that
    // the bytes carrying a password are overwritten afterwards.
    std::vector<const std::uint8_t*> buffers;
    std::optional<std::string> failWith;  // every call throws it as std::runtime_error
    std::optional<int> failOnCall;        // this zero-based call throws a socket error
    int calls = 0;
};

// A device port in memory that is its own clock. What is sent is recorded
// and handed to `onSend`, which answers by scheduling datagrams with
// deliver(); receive() plays time forward to the next arrival or to its
// deadline, so a run that waits seconds takes none.
class FakeDevicePort final : public usecases::DevicePort, public usecases::RunClock {
public:
    struct Sent {
        std::string source;
        std::string host;
        bool broadcast = false;
        std::vector<std::uint8_t> bytes;
    };

    void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;
    void receive(Clock::time_point deadline, const DatagramHandler& handler) override;
    std::optional<protocol::Ipv4Address> adapterMask(protocol::Ipv4Address address) override;
    Clock::time_point now() const override { return m_now; }
    // Milliseconds since the port was made, "t+1500ms".
    std::string utcText() const override;

    // `bytes` from `sender`, arriving `after` from now.
    void deliver(std::vector<std::uint8_t> bytes, std::string sender,
                 std::chrono::milliseconds after);

    std::function<void(const Sent&)> onSend;
    std::vector<Sent> sent;
    std::map<std::string, std::string> masks;  // adapter address to net mask

private:
    struct Arrival {
        Clock::time_point at;
        std::vector<std::uint8_t> bytes;
        std::string sender;
    };
    Clock::time_point m_now{};
    std::vector<Arrival> m_arrivals;  // in the order they were scheduled
};

class FakeAdapterQuery final : public net::AdapterQuery {
public:
    explicit FakeAdapterQuery(std::optional<std::vector<net::AdapterInfo>> answer)
        : m_answer(std::move(answer)) {}
    std::optional<std::vector<net::AdapterInfo>> query() override { return m_answer; }

private:
    std::optional<std::vector<net::AdapterInfo>> m_answer;
};

// Logs every reply event as one line: "listed NAME (MAC)",
// "result NAME (MAC): TEXT" (accepted), "refused NAME (MAC): TEXT" or "full";
// result texts also on their own.
class RecordingReplyEvents final : public usecases::ReplyEvents {
public:
    void deviceListed(std::string_view name, std::string_view mac) override;
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool accepted) override;
    void listFull() override { log.emplace_back("full"); }
    // The latest line; empty when nothing was reported.
    std::string last() const { return log.empty() ? std::string() : log.back(); }

    std::vector<std::string> log;
    std::vector<std::string> results;
};

// Records every prompt in one ordered event log, so tests can check both
// what was shown and in which order ("stopped:address", "confirm:", "clear", ...).
class FakePrompts final : public usecases::UpdatePrompts {
public:
    void stopped(usecases::UpdateStop reason) override;
    // Words the device as the window does and records the words.
    std::string confirm(const devices::DeviceList& list, int row) override;
    void clearPassword() override { events.emplace_back("clear"); }
    std::optional<std::vector<int>> selectDevices(const devices::DeviceList& list) override;

    std::vector<std::string> events;
    std::vector<std::string> lastLines;
    std::vector<std::string> listed;
    std::deque<std::string> passwords;  // answers to successive confirmations
    std::optional<std::vector<int>> selection;
    std::function<void()> onConfirm;
};

// The update's option, set by the test and counted when read, and a count
// of the requests it reports sent.
class FakeUpdateFrontEnd final : public usecases::UpdateOptions, public usecases::UpdateEvents {
public:
    bool alwaysBroadcast() const override {
        ++broadcastReads;
        return broadcast;
    }
    protocol::Ipv4Address sourceAddress() const override { return source; }
    void requestSent() override { ++requestsSent; }

    bool broadcast = false;
    protocol::Ipv4Address source;  // any local address
    mutable int broadcastReads = 0;
    int requestsSent = 0;
};

// A device with plain texts in every field, for tests about the list's
// devices rather than their contents.
inline devices::DeviceRecord deviceRow(const std::string& mac, const std::string& name = "dev") {
    return {.mac = mac,
            .name = name,
            .version = "1.0",
            .deviceIp = ipv4("10.0.0.1"),
            .mask = ipv4("255.0.0.0"),
            .gateway = ipv4("10.0.0.254"),
            .description = "desc"};
}

// A device as its reply describes it, for the tests of plans and the audit
// trail: what matters there is its MAC and its addresses.
inline devices::DeviceRecord foundRecord(const std::string& mac, const std::string& ip,
                                         const std::string& gateway = "0.0.0.0") {
    return {.mac = mac,
            .name = "dev",
            .version = "",
            .deviceIp = ipv4(ip),
            .mask = ipv4("255.255.255.0"),
            .gateway = ipv4(gateway),
            .description = "old"};
}

// The records as a discovery via 198.18.0.1 finds them, in this order (a
// MAC given again is a rival claim), each from `sender`.
inline usecases::FoundDevices foundDevices(const std::vector<devices::DeviceRecord>& records,
                                           protocol::Ipv4Address sender = {}) {
    usecases::FoundDevices found;
    for (const devices::DeviceRecord& record : records)
        found.add(record, ipv4("198.18.0.1"), sender);
    return found;
}

}  // namespace kavren::testsupport

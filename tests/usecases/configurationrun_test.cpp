// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration run against a device played in memory: what reaches the
// device, what comes back and when, and how the run settles each change.
#include "usecases/configurationrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "tests/support/fakes.h"
#include "tests/support/replybuilder.h"
#include "wording/wording.h"

namespace kavren::usecases {
namespace {

using std::chrono::milliseconds;
using testsupport::DeviceTexts;
using testsupport::FakeDevicePort;

constexpr std::array<std::uint8_t, 6> kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr const char* kAdapter = "10.0.0.5";
constexpr const char* kImpostor = "10.0.0.66";

// How the played device (and the segment around it) behaves.
struct Behaviour {
    int lostRequests = 0;     // the first N configuration requests never arrive
    bool resultLost = false;  // it takes the settings, its result message is lost
    milliseconds resultAfter{10};
    std::string answer = "Setting OK";
    bool silent = false;    // answers nothing at all
    bool impostor = false;  // another host answers discovery first with the old settings
};

// The device as the run finds it.
const DeviceTexts kOriginal{.mac = kMac,
                            .name = "dev",
                            .version = "1.0",
                            .description = "old",
                            .ip = {10, 0, 0, 9},
                            .mask = {255, 255, 255, 0},
                            .gateway = {10, 0, 0, 1}};

// Answers discovery with its settings and a configuration request with a
// result message, taking the request's settings when it accepts.
class PlayedDevice {
public:
    PlayedDevice(FakeDevicePort& port, Behaviour behaviour)
        : m_port(port), m_behaviour(std::move(behaviour)) {
        m_port.onSend = [this](const FakeDevicePort::Sent& sent) { answer(sent.bytes); };
    }

    int configRequests = 0;

private:
    std::string address() const {
        return std::to_string(m_texts.ip[0]) + "." + std::to_string(m_texts.ip[1]) + "." +
               std::to_string(m_texts.ip[2]) + "." + std::to_string(m_texts.ip[3]);
    }

    void answer(const std::vector<std::uint8_t>& bytes) {
        if (bytes[protocol::kKindOffset] == protocol::kKindDiscovery) {
            if (m_behaviour.impostor)
                m_port.deliver(testsupport::infoReply(kOriginal), kImpostor, milliseconds(1));
            if (!m_behaviour.silent)
                m_port.deliver(testsupport::infoReply(m_texts), address(), milliseconds(5));
            return;
        }
        ++configRequests;
        if (m_behaviour.silent || configRequests <= m_behaviour.lostRequests)
            return;
        const std::string from = address();
        if (m_behaviour.answer.starts_with("Setting OK")) {
            std::copy_n(&bytes[protocol::kConfigIpOffset], 4, m_texts.ip.begin());
            std::copy_n(&bytes[protocol::kConfigMaskOffset], 4, m_texts.mask.begin());
            std::copy_n(&bytes[protocol::kConfigGatewayOffset], 4, m_texts.gateway.begin());
            const auto field = bytes.begin() + protocol::kConfigDescriptionOffset;
            const auto end = field + protocol::kConfigDescriptionWidth;
            m_texts.description.assign(field, std::find(field, end, std::uint8_t{0}));
        }
        if (!m_behaviour.resultLost) {
            m_port.deliver(testsupport::resultReply(kMac, m_behaviour.answer), from,
                           m_behaviour.resultAfter);
        }
    }

    FakeDevicePort& m_port;
    Behaviour m_behaviour;
    DeviceTexts m_texts = kOriginal;
};

ConfigJob job() {
    static const devices::DeviceRecord record{.mac = "00-1A-2B-3C-4D-5E",
                                              .name = "dev",
                                              .version = "1.0",
                                              .deviceIp = testsupport::ipv4("10.0.0.9"),
                                              .mask = testsupport::ipv4("255.255.255.0"),
                                              .gateway = testsupport::ipv4("10.0.0.1"),
                                              .description = "old"};
    return {{&record, testsupport::ipv4(kAdapter), testsupport::ipv4("10.0.0.9"), {}},
            testsupport::settings("10.0.0.20", "255.255.255.0", "10.0.0.1", "new"),
            {}};
}

struct Case {
    const char* name;
    Behaviour behaviour;
    int attempts = 3;
    bool verify = false;
    bool broadcast = false;
    std::string adapterMask = "255.255.255.0";
    bool refuseBeforeSend = false;
    // Expected: each progress event's state, the requests the device was
    // sent, and words of the final reason.
    std::string events;
    int requests = 0;
    std::string reason{};
};

TEST(ConfigurationRun, SettlesEachDeviceByWhatCameBack) {
    const std::vector<Case> cases = {
        {.name = "acknowledged, then verified by rediscovery",
         .behaviour = {},
         .verify = true,
         .events = "sent acknowledged verified",
         .requests = 1},
        {.name = "a lost request is sent again",
         .behaviour = {.lostRequests = 1},
         .events = "sent sent acknowledged",
         .requests = 2},
        {.name = "result lost, the device reports the new settings: not sent twice",
         .behaviour = {.resultLost = true},
         .events = "sent verified",
         .requests = 1},
        {.name = "a silent device fails after every attempt",
         .behaviour = {.silent = true},
         .events = "sent sent sent failed",
         .requests = 3,
         .reason = "no result message and not found again"},
        {.name = "a late result: the rediscovery before the next attempt settles it",
         .behaviour = {.resultAfter = milliseconds(3500)},
         .events = "sent verified",
         .requests = 1},
        {.name = "a refusal is final",
         .behaviour = {.answer = "Password Error"},
         .events = "sent failed",
         .requests = 1,
         .reason = "device answered \"Password Error\""},
        {.name = "outside the adapter's subnet, without broadcast: not sent",
         .behaviour = {},
         .adapterMask = "255.255.255.252",
         .events = "not sent",
         .requests = 0,
         .reason = "lies outside the subnet of adapter 10.0.0.5"},
        {.name = "outside the adapter's subnet, with broadcast: sent to all",
         .behaviour = {},
         .broadcast = true,
         .adapterMask = "255.255.255.252",
         .events = "sent acknowledged",
         .requests = 1},
        {.name = "an impostor's old settings do not hide the moved device's new ones",
         .behaviour = {.resultLost = true, .impostor = true},
         .events = "sent verified",
         .requests = 1},
        {.name = "the audit trail refuses: nothing leaves",
         .behaviour = {},
         .refuseBeforeSend = true,
         .events = "not sent",
         .requests = 0,
         .reason = "trail full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDevicePort port;
        port.masks[kAdapter] = c.adapterMask;
        PlayedDevice device(port, c.behaviour);
        const std::string password = "secret";
        ConfigurationRun run(port, port, password, c.broadcast);
        std::string events;
        run.setProgress([&](std::size_t, const JobResult& result) {
            events += (events.empty() ? "" : " ") + std::string(stateName(result.state));
        });
        run.setBeforeSend([&](std::size_t, const JobResult&, std::string& error) {
            error = "trail full";
            return !c.refuseBeforeSend;
        });
        run.setChangeIds([] { return std::string("change-1"); });
        const auto start = port.now();

        const std::vector<JobResult> results =
            run.run({job()}, {.resultTimeout = milliseconds(3000),
                              .attempts = c.attempts,
                              .verify = c.verify,
                              .discoverTimeout = milliseconds(2000)});

        ASSERT_EQ(results.size(), 1U);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(device.configRequests, c.requests);
        const std::string reason = wording::reasonText(job().device, job().target, results[0]);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(results[0].change, "change-1");
        // Every wait is bounded: three attempts with their rediscoveries at most.
        EXPECT_LE(port.now() - start, milliseconds(3 * 5000 + 2 * 2000));
        if (c.broadcast) {
            EXPECT_TRUE(results[0].broadcast);
            EXPECT_EQ(devices::addressText(results[0].destination), "255.255.255.255");
        }
    }
}

}  // namespace
}  // namespace kavren::usecases

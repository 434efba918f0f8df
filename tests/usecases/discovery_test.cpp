// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "net/sender.h"
#include "protocol/packets.h"
#include "tests/support/fakes.h"
#include "tests/support/replybuilder.h"

namespace kavren::usecases {
namespace {

using Bytes = std::vector<std::uint8_t>;

using Events = testsupport::RecordingReplyEvents;
using testsupport::resultReply;

Bytes infoReply(protocol::MacBytes mac, protocol::Ipv4Bytes ip, const std::string& name) {
    return testsupport::infoReply({.mac = mac, .name = name, .ip = ip, .mask = {255, 255, 255, 0}});
}

constexpr protocol::MacBytes kMac1 = {0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF};
constexpr protocol::MacBytes kMac2 = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST(ReplyHandler, ListsANewDeviceWithItsTexts) {
    devices::DeviceList list;
    Events events;
    handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.field(devices::DeviceField::Mac, 1), "02-C4-7E-0A-1B-FF");
    EXPECT_EQ(list.field(devices::DeviceField::DeviceIp, 1), "10.0.0.1");
    EXPECT_EQ(list.field(devices::DeviceField::Ip, 1), "10.0.0.1");
    EXPECT_EQ(list.field(devices::DeviceField::Mask, 1), "255.255.255.0");
    EXPECT_EQ(list.field(devices::DeviceField::Gateway, 1), "0.0.0.0");
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, 1), "");
    EXPECT_EQ(events.log, (std::vector<std::string>{"listed Pump (02-C4-7E-0A-1B-FF)"}));

    handleReply(list, events, infoReply(kMac2, {192, 168, 0, 100}, ""));
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.field(devices::DeviceField::Ip, 2), "192.168.0.100");
    EXPECT_EQ(events.last(), "listed  (00-1A-2B-3C-4D-5E)");  // empty name: two blanks
}

TEST(ReplyHandler, IgnoresAListedDeviceEntirely) {
    devices::DeviceList list;
    Events events;
    handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(list, events, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    const std::size_t reported = events.log.size();
    handleReply(list, events, infoReply(kMac1, {10, 0, 0, 9}, "Renamed"));
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.field(devices::DeviceField::Name, 1), "Pump");
    EXPECT_EQ(events.log.size(), reported);
}

TEST(ReplyHandler, ShowsResultMessagesWithoutTouchingTheGrid) {
    devices::DeviceList list;
    Events events;
    handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(list, events, resultReply(kMac1, "Setting OK"));
    EXPECT_EQ(events.last(), "result Pump (02-C4-7E-0A-1B-FF): Setting OK");

    handleReply(list, events, resultReply(kMac2, "Password Error"));
    EXPECT_EQ(events.last(), "refused  (00-1A-2B-3C-4D-5E): Password Error");
    EXPECT_EQ(list.size(), 1);
}

TEST(ReplyHandler, DropsWhatIsNotAReply) {
    devices::DeviceList list;
    Events events;
    Bytes request(16, 0xFF);
    const std::string magic = "KAVRENut";
    std::copy(magic.begin(), magic.end(), request.begin());
    request[8] = 0;
    request[9] = 0x16;
    handleReply(list, events, request);
    handleReply(list, events, Bytes{});
    handleReply(list, events, Bytes(1024, 0xFF));
    EXPECT_EQ(list.size(), 0);
    EXPECT_TRUE(events.log.empty());
}

TEST(ReplyHandler, RefreshThenLateRepliesStartAgainAtRowOne) {
    devices::DeviceList list;
    Events events;
    handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(list, events, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    list.clear();
    handleReply(list, events, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(list.field(devices::DeviceField::Name, 1), "Valve");
}

// --- impostors and floods: what a hostile host on the segment can send ----------

// Any host can answer with a listed device's MAC. The row keeps the first
// reply's texts; a sender not seen for the MAC before is remembered beside
// it (at most four), so the window can mark the row.
TEST(ReplyHandler, RemembersEverySenderClaimingAListedMac) {
    constexpr std::uint32_t A = 0xC6120082, B = 0xC612008C, C = 0xC612008D;
    struct Case {
        const char* what;
        std::vector<std::uint32_t> senders;  // of successive replies with kMac1
        std::uint32_t first;
        std::vector<std::uint32_t> rivals;
    };
    const std::vector<Case> cases = {
        {"one sender, repeated", {A, A, A}, A, {}},
        {"a second sender", {A, B}, A, {B}},
        {"two senders taking turns", {A, B, A, B}, A, {B}},
        {"a sender not known at first", {0, B}, B, {}},
        {"a reply without its sender", {A, 0}, A, {}},
        {"more rivals than are kept",
         {A, B, C, A + 1, A + 2, A + 3, A + 4},
         A,
         {B, C, A + 1, A + 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        devices::DeviceList list;
        Events events;
        handleReply(list, events, infoReply(kMac2, {10, 0, 0, 2}, "Valve"), C);
        for (std::size_t i = 0; i < c.senders.size(); ++i)
            handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, i ? "Forged" : "Pump"),
                        c.senders[i]);
        ASSERT_EQ(list.size(), 2);
        EXPECT_EQ(list.field(devices::DeviceField::Name, 2), "Pump");
        EXPECT_EQ(list.firstSender(2), c.first);
        const auto rivals = list.rivalSenders(2);
        EXPECT_EQ(std::vector<std::uint32_t>(rivals.begin(), rivals.end()), c.rivals);
        EXPECT_TRUE(list.rivalSenders(1).empty());
        list.clear();
        handleReply(list, events, infoReply(kMac1, {10, 0, 0, 1}, "Pump"), B);
        EXPECT_EQ(list.firstSender(1), B);
        EXPECT_TRUE(list.rivalSenders(1).empty()) << "a Refresh forgets the senders";
    }
}

// Forged replies with a MAC each would take memory without end. The list
// stops at its bound, says so once, and says it again
// after a Refresh that fills it again; listed devices still count.
TEST(ReplyHandler, AFullListTakesNoMoreDevicesAndSaysSoOnce) {
    devices::DeviceList list(16, 3);
    Events events;
    const auto flood = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const protocol::MacBytes mac = {0x02, 0x4B, 0x56, 0, 0, static_cast<std::uint8_t>(i)};
            handleReply(list, events, infoReply(mac, {10, 0, 0, 1}, "Flood"), 0x0A000001);
        }
    };
    flood(3);
    EXPECT_NE(events.last(), "full");
    const std::size_t reported = events.log.size();
    flood(10);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(events.last(), "full");
    EXPECT_EQ(events.log.size(), reported + 1);
    handleReply(list, events, infoReply({0x02, 0x4B, 0x56, 0, 0, 1}, {10, 0, 0, 1}, "X"),
                0x0A000002);
    EXPECT_EQ(list.rivalSenders(2).size(), 1u) << "a listed device is still heard";
    list.clear();
    flood(10);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(events.log.size(), reported + 1 + 3 + 1);
}

TEST(Refresh, BroadcastsOneDiscoveryRequest) {
    testsupport::RecordingSender sender;
    sendDiscoveryRequest(sender, testsupport::ipv4("10.0.0.5"));
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].source, "10.0.0.5");
    EXPECT_EQ(sender.sent[0].host, "255.255.255.255");
    EXPECT_TRUE(sender.sent[0].broadcast);
    const protocol::DiscoveryRequest expected = protocol::discoveryRequest();
    EXPECT_EQ(sender.sent[0].bytes, Bytes(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace kavren::usecases

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"
#include "usecases/devicerecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/devicegrid.h"
#include "net/sender.h"
#include "protocol/packets.h"
#include "tests/support/fakes.h"
#include "tests/support/replybuilder.h"

namespace kavren {
namespace {

using Bytes = std::vector<std::uint8_t>;

using Status = testsupport::RecordingStatus;
using testsupport::resultReply;

Bytes infoReply(MacBytes mac, Ipv4Bytes ip, const std::string& name) {
    return testsupport::infoReply({.mac = mac, .name = name, .ip = ip, .mask = {255, 255, 255, 0}});
}

constexpr MacBytes kMac1 = {0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF};
constexpr MacBytes kMac2 = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST(ReplyHandler, ListsANewDeviceWithItsTexts) {
    DeviceGrid grid;
    Status status;
    handleReply(grid, status, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    ASSERT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 1), "1");
    EXPECT_EQ(grid.cell(DeviceGrid::ColMac, 1), "02-C4-7E-0A-1B-FF");
    EXPECT_EQ(grid.cell(DeviceGrid::ColDeviceIp, 1), "10.0.0.1");
    EXPECT_EQ(grid.cell(DeviceGrid::ColIp, 1), "10.0.0.1");
    EXPECT_EQ(grid.cell(DeviceGrid::ColMask, 1), "255.255.255.0");
    EXPECT_EQ(grid.cell(DeviceGrid::ColGateway, 1), "0.0.0.0");
    EXPECT_EQ(grid.cell(DeviceGrid::ColNewPassword, 1), "");
    EXPECT_EQ(status.panels[0], "Device : Pump (02-C4-7E-0A-1B-FF)");
    EXPECT_EQ(status.panels[1], "Get Device Information done.");

    handleReply(grid, status, infoReply(kMac2, {192, 168, 0, 100}, ""));
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 2), "2");
    EXPECT_EQ(grid.cell(DeviceGrid::ColIp, 2), "192.168.0.100");
    EXPECT_EQ(status.panels[0], "Device :  (00-1A-2B-3C-4D-5E)");  // empty name: two blanks
}

// The command line reads devices without a grid; it must see the same texts
// the window lists, and nothing for a datagram that is not a device.
TEST(DeviceRecord, HoldsTheTextsTheGridWouldListAndNothingForOtherDatagrams) {
    const auto record = deviceRecordOf(infoReply(kMac1, {10, 0, 0, 1}, "Pump <b>%s"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->mac, "02-C4-7E-0A-1B-FF");
    EXPECT_EQ(record->name, "Pump <b>%s");
    EXPECT_EQ(record->deviceIp, "10.0.0.1");
    EXPECT_EQ(record->mask, "255.255.255.0");
    EXPECT_EQ(record->gateway, "0.0.0.0");

    EXPECT_FALSE(deviceRecordOf(resultReply(kMac1, "Setting OK")));
    Bytes cut = infoReply(kMac1, {10, 0, 0, 1}, "Pump");
    cut.resize(9);
    EXPECT_FALSE(deviceRecordOf(cut));
}

TEST(ReplyHandler, IgnoresAListedDeviceEntirely) {
    DeviceGrid grid;
    Status status;
    handleReply(grid, status, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(grid, status, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    const int writes = status.writes;
    handleReply(grid, status, infoReply(kMac1, {10, 0, 0, 9}, "Renamed"));
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.cell(DeviceGrid::ColName, 1), "Pump");
    EXPECT_EQ(status.writes, writes);
}

TEST(ReplyHandler, ShowsResultMessagesWithoutTouchingTheGrid) {
    DeviceGrid grid;
    Status status;
    handleReply(grid, status, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(grid, status, resultReply(kMac1, "Setting OK"));
    EXPECT_EQ(status.panels[0], "Device : Pump (02-C4-7E-0A-1B-FF)");
    EXPECT_EQ(status.panels[1], "Setting OK");

    handleReply(grid, status, resultReply(kMac2, "Password Error"));
    EXPECT_EQ(status.panels[0], "Device :  (00-1A-2B-3C-4D-5E)");
    EXPECT_EQ(status.panels[1], "Password Error");
    EXPECT_EQ(grid.rowCount(), 3);
}

TEST(ReplyHandler, DropsWhatIsNotAReply) {
    DeviceGrid grid;
    Status status;
    Bytes request(16, 0xFF);
    const std::string magic = "KAVRENut";
    std::copy(magic.begin(), magic.end(), request.begin());
    request[8] = 0;
    request[9] = 0x16;
    handleReply(grid, status, request);
    handleReply(grid, status, Bytes{});
    handleReply(grid, status, Bytes(1024, 0xFF));
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(status.writes, 0);
}

TEST(ReplyHandler, RefreshThenLateRepliesStartAgainAtRowOne) {
    DeviceGrid grid;
    Status status;
    handleReply(grid, status, infoReply(kMac1, {10, 0, 0, 1}, "Pump"));
    handleReply(grid, status, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    grid.clear();
    handleReply(grid, status, infoReply(kMac2, {10, 0, 0, 2}, "Valve"));
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(DeviceGrid::ColRow, 1), "1");
    EXPECT_EQ(grid.cell(DeviceGrid::ColName, 1), "Valve");
}

TEST(Refresh, BroadcastsOneDiscoveryRequest) {
    testsupport::RecordingSender sender;
    sendDiscoveryRequest(sender);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].host, "255.255.255.255");
    EXPECT_TRUE(sender.sent[0].broadcast);
    const packet::DiscoveryRequest expected = packet::buildDiscoveryRequest();
    EXPECT_EQ(sender.sent[0].bytes, Bytes(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace kavren

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/updatecommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace kavren::usecases {
namespace {

using testsupport::FakePrompts;
using testsupport::FakeUpdateFrontEnd;
using testsupport::RecordingSender;
using Bytes = std::vector<std::uint8_t>;

devices::DeviceRecord device(std::string name, std::string mac, std::string deviceIp) {
    devices::DeviceRecord t;
    t.mac = std::move(mac);
    t.name = std::move(name);
    t.version = "v1.0";
    t.deviceIp = protocol::Ipv4Address::parse(deviceIp);
    t.mask = testsupport::ipv4("255.255.255.0");
    t.gateway = testsupport::ipv4("192.168.0.1");
    t.description = "Lab";
    return t;
}

class UpdateTest : public ::testing::Test {
protected:
    int addDevice(const std::string& name, const std::string& mac,
                  const std::string& deviceIp = "192.168.0.100") {
        const int row = list.append(device(name, mac, deviceIp));
        list.setField(devices::DeviceField::Ip, row, "192.168.0.50");
        return row;
    }
    void addThree() {
        addDevice("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1");
        addDevice("CD", "00-1A-2B-3C-4D-5F", "10.0.0.2");
        addDevice("EF", "00-1A-2B-3C-4D-60", "10.0.0.3");
    }
    // Where each request went, in order.
    std::vector<std::string> hostsSent() const {
        std::vector<std::string> hosts;
        for (const RecordingSender::Sent& sent : sender.sent)
            hosts.push_back(sent.host);
        return hosts;
    }
    std::size_t count(std::string_view event) const {
        return static_cast<std::size_t>(
            std::count(prompts.events.begin(), prompts.events.end(), event));
    }

    devices::DeviceList list;
    FakePrompts prompts;
    RecordingSender sender;
    FakeUpdateFrontEnd frontEnd;
    UpdateCommands commands{list, prompts, sender, frontEnd, frontEnd};
};

// --- rows that are not device rows ------------------------------------------

TEST_F(UpdateTest, RowsWithoutADeviceDoNothing) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    prompts.passwords = {"pw", "pw", "pw", "pw"};
    for (const int r : {0, row + 1, row + 5, -1})
        commands.updateRow(r);
    EXPECT_TRUE(prompts.events.empty());
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(frontEnd.requestsSent, 0);
}

TEST_F(UpdateTest, UpdateDeviceWithNoCurrentRowOrTheTrailingRowDoesNothing) {
    prompts.passwords = {"pw"};
    commands.updateDevice(std::nullopt);  // nothing selected yet, no devices
    commands.updateDevice(1);             // the trailing row
    EXPECT_TRUE(prompts.events.empty());
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(UpdateTest, UpdateDeviceUpdatesTheCurrentRow) {
    addDevice("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1");
    addDevice("CD", "00-1A-2B-3C-4D-5F", "10.0.0.2");
    prompts.passwords = {"pw"};
    commands.updateDevice(2);
    EXPECT_EQ(hostsSent(), std::vector<std::string>{"10.0.0.2"});
}

// --- the confirmation dialog's texts ----------------------------------------

TEST_F(UpdateTest, CaptionAndTenMemoLinesInTheirExactShape) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", "192.168.0.100");
    commands.updateRow(row);  // no password given: cancelled, but the texts are there
    ASSERT_EQ(prompts.events.front(), "confirm:AB (00-1A-2B-3C-4D-5E)");
    const std::vector<std::string> expected = {
        "Setting info :",
        "MAC Address     \t: 00-1A-2B-3C-4D-5E",
        "Device Name     \t: AB",
        "Version         \t: v1.0",
        "DeviceIP        \t: 192.168.0.100",
        "NewPassword     \t: No Change",
        "IP Address      \t: 192.168.0.50",
        "NetMask         \t: 255.255.255.0",
        "Gateway         \t: 192.168.0.1",
        "Description     \t: Lab",
    };
    EXPECT_EQ(prompts.lastLines, expected);
}

TEST_F(UpdateTest, NewPasswordIsShownReadableAndDeviceTextsLiterally) {
    const int row = addDevice("%s%n", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::NewPassword, row, "n3w");
    list.setField(devices::DeviceField::Description, row, "100% %s \xE9t\xE9");
    commands.updateRow(row);
    EXPECT_EQ(prompts.events.front(), "confirm:%s%n (00-1A-2B-3C-4D-5E)");
    EXPECT_EQ(prompts.lastLines[5], "NewPassword     \t: n3w");
    EXPECT_EQ(prompts.lastLines[9], "Description     \t: 100% %s \xE9t\xE9");
}

// --- address checks ----------------------------------------------------------

TEST_F(UpdateTest, EachInvalidAddressColumnStopsBeforeTheDialog) {
    for (const devices::DeviceField field :
         {devices::DeviceField::Ip, devices::DeviceField::Mask, devices::DeviceField::Gateway}) {
        SCOPED_TRACE(static_cast<int>(field));
        devices::DeviceList g;
        const int row = g.append(device("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1"));
        g.setField(field, row, "10.0.0");
        FakePrompts p;
        p.passwords = {"pw"};
        RecordingSender s;
        FakeUpdateFrontEnd u;
        UpdateCommands(g, p, s, u, u).updateRow(row);
        EXPECT_EQ(p.events, std::vector<std::string>{"stopped:address"});
        EXPECT_TRUE(s.sent.empty());
    }
}

TEST_F(UpdateTest, SeveralInvalidAddressesGiveOneMessage) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::Ip, row, "192.168.0.300");
    list.setField(devices::DeviceField::Gateway, row, "10..0.1");
    list.setField(devices::DeviceField::NewPassword, row, "keep");
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    EXPECT_EQ(prompts.events, std::vector<std::string>{"stopped:address"});
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, row), "keep");
    EXPECT_EQ(frontEnd.requestsSent, 0);
}

TEST_F(UpdateTest, OneDigitFirstPartIsAccepted) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::Ip, row, "1.2.3.4");
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(Bytes(sender.sent[0].bytes.begin() + 20, sender.sent[0].bytes.begin() + 24),
              (Bytes{1, 2, 3, 4}));
}

TEST_F(UpdateTest, UnparsableDeviceIpIsAnAddressErrorUnlessBroadcasting) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", "not an address");
    prompts.passwords = {"pw", "pw"};
    commands.updateRow(row);
    EXPECT_EQ(prompts.events, std::vector<std::string>{"stopped:address"});
    EXPECT_TRUE(sender.sent.empty());

    // Under force broadcast the cell names no destination and is not judged.
    frontEnd.broadcast = true;
    commands.updateRow(row);
    EXPECT_EQ(hostsSent(), std::vector<std::string>{"255.255.255.255"});
}

// --- the password ------------------------------------------------------------

TEST_F(UpdateTest, EmptyPasswordCancelsAndChangesNothing) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::NewPassword, row, "keep");
    prompts.passwords = {""};
    commands.updateRow(row);
    EXPECT_EQ(prompts.events,
              (std::vector<std::string>{"confirm:AB (00-1A-2B-3C-4D-5E)", "stopped:cancelled"}));
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, row), "keep");
    EXPECT_EQ(frontEnd.requestsSent, 0);
}

TEST_F(UpdateTest, PasswordBoxIsEmptiedBeforeTheSendAndNeverShown) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    prompts.passwords = {"s3cret-pass"};
    sender.failOnCall = 0;
    EXPECT_THROW(commands.updateRow(row), std::runtime_error);
    EXPECT_EQ(prompts.events.back(), "clear");
    for (const auto& e : prompts.events)
        EXPECT_EQ(e.find("s3cret"), std::string::npos) << e;
}

// --- the request and where it goes ------------------------------------------

TEST_F(UpdateTest, SendsTheExactRequestForTheRow) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", "192.168.0.100");
    list.setField(devices::DeviceField::Ip, row, "10.1.2.3");
    list.setField(devices::DeviceField::Mask, row, "255.255.0.0");
    list.setField(devices::DeviceField::Gateway, row, "10.1.0.254");
    // 40 bytes: only the first 32 are sent, "%s" byte for byte.
    list.setField(devices::DeviceField::Description, row,
                  "Line %s 4 / Hall B / Rack 7 / Slot 9+XYZ");
    list.setField(devices::DeviceField::NewPassword, row, "new\xE9");
    prompts.passwords = {"abcdefghijklmnopqrst"};  // 20 characters; 16 count
    commands.updateRow(row);

    Bytes expected = {'K',  'A',  'V',  'R',  'E',  'N', 'u', 't', 0x00, 0x90, 0x00,
                      0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0,   0,   0,   0,    10,   1,
                      2,    3,    255,  255,  0,    0,   10,  1,   0,    254};
    const std::string description = "Line %s 4 / Hall B / Rack 7 / Sl";
    expected.insert(expected.end(), description.begin(), description.end());
    // Nibbles swapped for 7-bit bytes: 'a' 0x61 -> 0x16 ... 'p' 0x70 -> 0x07.
    for (std::uint8_t c = 'a'; c <= 'p'; ++c)
        expected.push_back(static_cast<std::uint8_t>(((c & 0x0F) << 4) | (c >> 4)));
    // "new" then 0xE9, whose sign fills the upper half: 0xFE, not 0x9E.
    const Bytes newPassword = {0xE6, 0x56, 0x77, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), newPassword.begin(), newPassword.end());
    expected.push_back(0);
    expected.push_back(0);
    ASSERT_EQ(expected.size(), 98u);

    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].bytes, expected);
    EXPECT_EQ(sender.sent[0].host, "192.168.0.100");
    EXPECT_FALSE(sender.sent[0].broadcast);
}

// The command line sends from settings it holds as values, without a list;
// the bytes and the destination must be the window's for the same settings.
TEST_F(UpdateTest, SettingsWithoutAGridGiveTheRowsRequestAndDestination) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", " 192.168.000.100 ");
    list.setField(devices::DeviceField::NewPassword, row, "n%s");
    prompts.passwords = {"secret"};
    commands.updateRow(row);
    ASSERT_EQ(sender.sent.size(), 1u);

    const auto settings = checkSettings(
        {.mac = "00-1A-2B-3C-4D-5E",
         .deviceIp = protocol::Ipv4Address::parse(" 192.168.000.100 "),
         .target = {testsupport::ipv4("192.168.0.50"), testsupport::ipv4("255.255.255.0"),
                    testsupport::ipv4("192.168.0.1"), "Lab"},
         .newPassword = "n%s"},
        false);
    ASSERT_TRUE(settings);
    RecordingSender direct;
    sendConfiguration(*settings, "secret", direct, protocol::Ipv4Address());
    ASSERT_EQ(direct.sent.size(), 1u);
    EXPECT_EQ(direct.sent[0].bytes, sender.sent[0].bytes);
    EXPECT_EQ(direct.sent[0].host, "192.168.0.100");

    const devices::DeviceSettings oneTwoThreeFour{testsupport::ipv4("1.2.3.4"),
                                                  testsupport::ipv4("255.0.0.0"),
                                                  testsupport::ipv4("1.0.0.1"),
                                                  {}};
    EXPECT_FALSE(checkSettings({.mac = "00-1A-2B-3C-4D-5E",
                                .deviceIp = protocol::Ipv4Address::parse("x"),
                                .target = oneTwoThreeFour},
                               false));
    const auto broadcast = checkSettings({.mac = "00-1A-2B-3C-4D-5E",
                                          .deviceIp = protocol::Ipv4Address::parse("x"),
                                          .target = oneTwoThreeFour},
                                         true);
    ASSERT_TRUE(broadcast);
    EXPECT_EQ(broadcast->destination.text(), "255.255.255.255");
}

TEST_F(UpdateTest, EmptyNewPasswordSendsSixteenZeroBytes) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    ASSERT_EQ(sender.sent.size(), 1u);
    const Bytes& b = sender.sent[0].bytes;
    EXPECT_TRUE(std::all_of(b.begin() + 80, b.begin() + 96, [](auto v) { return v == 0; }));
}

TEST_F(UpdateTest, UnicastDestinationIsTheDeviceIpReprinted) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", "010.000.000.009");
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].host, "10.0.0.9");
    EXPECT_FALSE(sender.sent[0].broadcast);
}

TEST_F(UpdateTest, ForceBroadcastIsReadOnceAtTheStart) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1");
    frontEnd.broadcast = true;
    prompts.onConfirm = [this] { frontEnd.broadcast = false; };  // toggled while the dialog is open
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].host, "255.255.255.255");
    EXPECT_TRUE(sender.sent[0].broadcast);
    EXPECT_EQ(frontEnd.broadcastReads, 1);
}

TEST_F(UpdateTest, AfterASendUpdateDeviceIsDisabledAndNewPasswordEmptied) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::NewPassword, row, "next");
    list.setField(devices::DeviceField::Ip, row, "192.168.0.77");
    prompts.passwords = {"pw"};
    commands.updateRow(row);
    EXPECT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(frontEnd.requestsSent, 1);
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, row), "");
    EXPECT_EQ(list.field(devices::DeviceField::Ip, row), "192.168.0.77");  // the sent values stay
}

TEST_F(UpdateTest, SendErrorPropagatesAndLeavesTheRowAlone) {
    const int row = addDevice("AB", "00-1A-2B-3C-4D-5E");
    list.setField(devices::DeviceField::NewPassword, row, "next");
    prompts.passwords = {"pw"};
    sender.failOnCall = 0;
    EXPECT_THROW(commands.updateRow(row), std::runtime_error);
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, row), "next");
    EXPECT_EQ(frontEnd.requestsSent, 0);
}

// --- Update All --------------------------------------------------------------

TEST_F(UpdateTest, UpdateAllSkipsABadRowWithItsMessageInBetween) {
    addThree();
    list.setField(devices::DeviceField::Mask, 2, "255.255.0");
    prompts.passwords = {"p1", "p3"};
    commands.updateAll();
    EXPECT_EQ(prompts.events, (std::vector<std::string>{
                                  "confirm:AB (00-1A-2B-3C-4D-5E)", "clear", "stopped:address",
                                  "confirm:EF (00-1A-2B-3C-4D-60)", "clear"}));
    EXPECT_EQ(hostsSent(), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
}

TEST_F(UpdateTest, UpdateAllGoesOnAfterACancelledDevice) {
    addThree();
    prompts.passwords = {"", "p2", "p3"};
    commands.updateAll();
    EXPECT_EQ(count("stopped:cancelled"), 1u);
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[0].host, "10.0.0.2");
}

TEST_F(UpdateTest, UpdateAllStopsAtTheRowWhoseSendFails) {
    addThree();
    prompts.passwords = {"p1", "p2", "p3"};
    sender.failOnCall = 1;
    EXPECT_THROW(commands.updateAll(), std::runtime_error);
    EXPECT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(count("confirm:EF (00-1A-2B-3C-4D-60)"), 0u);
}

TEST_F(UpdateTest, UpdateAllAlsoUpdatesARowAppendedDuringAConfirmation) {
    addDevice("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1");
    bool appended = false;
    prompts.onConfirm = [&] {
        if (!appended)
            addDevice("LATE", "00-1A-2B-3C-4D-61", "10.0.0.9");
        appended = true;
    };
    prompts.passwords = {"p1", "p2"};
    commands.updateAll();
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1].host, "10.0.0.9");
}

TEST_F(UpdateTest, UpdateAllWithoutDevicesDoesNothing) {
    commands.updateAll();
    EXPECT_TRUE(prompts.events.empty());
}

// --- Update Multi ------------------------------------------------------------

TEST_F(UpdateTest, UpdateMultiListsEveryDeviceRowAndUpdatesTheTickedInOrder) {
    addThree();
    prompts.selection = std::vector<int>{0, 2};
    prompts.passwords = {"p1", "p3"};
    commands.updateMulti();
    EXPECT_EQ(prompts.listed, (std::vector<std::string>{"1 - AB (00-1A-2B-3C-4D-5E) ",
                                                        "2 - CD (00-1A-2B-3C-4D-5F) ",
                                                        "3 - EF (00-1A-2B-3C-4D-60) "}));
    EXPECT_EQ(prompts.events,
              (std::vector<std::string>{"select", "confirm:AB (00-1A-2B-3C-4D-5E)", "clear",
                                        "confirm:EF (00-1A-2B-3C-4D-60)", "clear"}));
    EXPECT_EQ(hostsSent(), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
}

TEST_F(UpdateTest, UpdateMultiCancelledUpdatesNothing) {
    addThree();
    prompts.selection = std::nullopt;
    prompts.passwords = {"p1", "p2", "p3"};
    commands.updateMulti();
    EXPECT_EQ(prompts.events, std::vector<std::string>{"select"});
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(UpdateTest, UpdateMultiWithoutDevicesShowsAnEmptyList) {
    prompts.selection = std::vector<int>{};
    commands.updateMulti();
    EXPECT_EQ(prompts.events, std::vector<std::string>{"select"});
    EXPECT_TRUE(prompts.listed.empty());
}

TEST_F(UpdateTest, UpdateMultiIgnoresARowAppendedDuringAConfirmation) {
    addDevice("AB", "00-1A-2B-3C-4D-5E", "10.0.0.1");
    prompts.selection = std::vector<int>{0};
    prompts.onConfirm = [&] {
        if (list.size() == 1)
            addDevice("LATE", "00-1A-2B-3C-4D-61", "10.0.0.9");
    };
    prompts.passwords = {"p1", "p2"};
    commands.updateMulti();
    EXPECT_EQ(hostsSent(), std::vector<std::string>{"10.0.0.1"});
}

TEST_F(UpdateTest, UpdateMultiStopsAtTheRowWhoseSendFails) {
    addThree();
    prompts.selection = std::vector<int>{0, 1, 2};
    prompts.passwords = {"p1", "p2", "p3"};
    sender.failOnCall = 0;
    EXPECT_THROW(commands.updateMulti(), std::runtime_error);
    EXPECT_EQ(count("confirm:CD (00-1A-2B-3C-4D-5F)"), 0u);
    EXPECT_TRUE(sender.sent.empty());
}

}  // namespace
}  // namespace kavren::usecases

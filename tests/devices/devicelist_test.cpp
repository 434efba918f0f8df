// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicelist.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace kavren::devices {
namespace {

class DeviceListTest : public testing::Test {
protected:
    DeviceList devices;
};

TEST_F(DeviceListTest, AppendNumbersDevicesInArrivalOrder) {
    EXPECT_EQ(devices.size(), 0);
    EXPECT_FALSE(devices.contains(1));
    EXPECT_EQ(devices.append(testsupport::deviceRow("00-00-00-00-00-01")), 1);
    EXPECT_EQ(devices.append(testsupport::deviceRow("00-00-00-00-00-02")), 2);
    EXPECT_EQ(devices.size(), 2);
    EXPECT_EQ(devices.field(DeviceField::Mac, 2), "00-00-00-00-00-02");
    EXPECT_EQ(devices.field(DeviceField::NewPassword, 2), "");
    EXPECT_EQ(devices.field(DeviceField::Ip, 2), "10.0.0.1");  // the reported address
    EXPECT_EQ(devices.field(DeviceField::Gateway, 2), "10.0.0.254");
    EXPECT_FALSE(devices.contains(3));
    for (int f = 0; f < kDeviceFieldCount; ++f)
        EXPECT_EQ(devices.field(static_cast<DeviceField>(f), 3), "");
}

TEST_F(DeviceListTest, ClearLeavesNoTextOfEarlierDevices) {
    for (int i = 0; i < 5; ++i)
        devices.append(testsupport::deviceRow("00-00-00-00-00-0" + std::to_string(i)));
    devices.setField(DeviceField::NewPassword, 1, "secret");
    devices.clear();
    EXPECT_EQ(devices.size(), 0);
    EXPECT_FALSE(devices.findByMac("00-00-00-00-00-00"));

    DeviceRecord sparse;
    sparse.mac = "AA-AA-AA-AA-AA-AA";
    EXPECT_EQ(devices.append(sparse), 1);
    for (int f = 1; f < kDeviceFieldCount; ++f)
        EXPECT_EQ(devices.field(static_cast<DeviceField>(f), 1), "") << f;
}

TEST_F(DeviceListTest, FindByMacIsExactAndCaseSensitive) {
    devices.append(testsupport::deviceRow("00-1A-2B-3C-4D-5E"));
    devices.append(testsupport::deviceRow("00-1A-2B-3C-4D-5F"));
    EXPECT_EQ(devices.findByMac("00-1A-2B-3C-4D-5F"), 2);
    EXPECT_EQ(devices.findByMac("00-1A-2B-3C-4D-5E"), 1);
    EXPECT_FALSE(devices.findByMac("00-1a-2b-3c-4d-5e"));
    EXPECT_FALSE(devices.findByMac(""));
}

// The index holds no copy of a MAC: it compares with the text of the device
// it names, so every edit of a MAC must leave it naming the right device.
TEST_F(DeviceListTest, FindByMacFollowsFieldEdits) {
    devices.append(testsupport::deviceRow("00-00-00-00-00-01"));
    devices.append(testsupport::deviceRow("00-00-00-00-00-02"));
    devices.append(testsupport::deviceRow("00-00-00-00-00-02"));  // a second device with it
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-02"), 2);
    devices.setField(DeviceField::Mac, 2, "00-00-00-00-00-09");
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-02"), 3);  // the next device that holds it
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-09"), 2);
    devices.setField(DeviceField::Mac, 1, "00-00-00-00-00-09");
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-09"), 1);        // the lowest device wins
    devices.setField(DeviceField::Mac, 2, "00-00-00-00-00-07");  // the one that lost it
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-09"), 1);
    EXPECT_EQ(devices.findByMac("00-00-00-00-00-07"), 2);
    devices.setField(DeviceField::Mac, 4, "00-00-00-00-00-05");  // no such device
    EXPECT_FALSE(devices.findByMac("00-00-00-00-00-05"));
}

// A small index, crowded past its first size, so that renames take MACs
// out of the middle of probe chains: every other MAC must still be found.
TEST(DeviceListIndex, RenamesInACrowdedIndexLoseNoOtherMac) {
    DeviceList devices(4);
    auto mac = [](int i) { return "00-00-00-00-01-" + std::to_string(10 + i); };
    for (int i = 1; i <= 40; ++i)
        devices.append(testsupport::deviceRow(mac(i)));
    for (int renamed = 1; renamed <= 40; renamed += 3) {
        devices.setField(DeviceField::Mac, renamed, "renamed " + std::to_string(renamed));
        for (int i = 1; i <= 40; ++i)
            ASSERT_EQ(devices.findByMac(mac(i)),
                      (i - 1) % 3 == 0 && i <= renamed ? std::nullopt : std::optional(i))
                << renamed << " " << i;
    }
}

// The address to take is kept apart from the record: it starts as the
// reported address and stays as it was when the reported one changes.
TEST_F(DeviceListTest, AddressToTakeIsNotMovedByTheReportedOne) {
    devices.append(testsupport::deviceRow("00-00-00-00-00-01"));
    devices.setField(DeviceField::DeviceIp, 1, "10.0.0.7");
    EXPECT_EQ(devices.field(DeviceField::Ip, 1), "10.0.0.1");
    devices.setField(DeviceField::Ip, 1, "10.0.0.7");
    devices.setField(DeviceField::DeviceIp, 1, "10.0.0.8");
    EXPECT_EQ(devices.field(DeviceField::Ip, 1), "10.0.0.7");
}

TEST(DeviceListRules, EditableFieldsAndTheirLengthWarnings) {
    struct Case {
        DeviceField field;
        bool editable;
        std::size_t longestQuiet;
        std::string_view warning;  // for one byte more; empty: none
    };
    const std::vector<Case> cases = {
        {DeviceField::Mac, false, 100, ""},
        {DeviceField::Name, false, 100, ""},
        {DeviceField::Version, false, 100, ""},
        {DeviceField::DeviceIp, false, 100, ""},
        {DeviceField::NewPassword, true, 17, "Password Length must less than 16 !!"},
        {DeviceField::Ip, true, 16, "IP address Length Error !!"},
        {DeviceField::Mask, true, 16, "IP address Length Error !!"},
        {DeviceField::Gateway, true, 16, "IP address Length Error !!"},
        {DeviceField::Description, true, 33, "Description Length must less than 32 !!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(DeviceList::fieldName(c.field));
        EXPECT_EQ(DeviceList::editable(c.field), c.editable);
        EXPECT_FALSE(DeviceList::lengthWarning(c.field, std::string(c.longestQuiet, '1')));
        EXPECT_EQ(
            DeviceList::lengthWarning(c.field, std::string(c.longestQuiet + 1, '1')).value_or(""),
            c.warning);
    }
}

// Found again where a change moved it, a device answers from there alone:
// the address it left is no second sender.
TEST_F(DeviceListTest, AConfirmedMoveForgetsTheAddressTheDeviceLeft) {
    const int d = devices.append(testsupport::deviceRow("00-00-00-00-00-01"), 0x0A000001);
    EXPECT_TRUE(devices.noteSender(d, 0x0A000009));
    devices.reportsNow(d, devices.reported(d), 0x0A000009);
    EXPECT_EQ(devices.firstSender(d), 0x0A000009U);
    EXPECT_TRUE(devices.rivalSenders(d).empty());
    EXPECT_FALSE(devices.noteSender(d, 0x0A000009));
}

TEST_F(DeviceListTest, OutOfRangeAccessIsHarmless) {
    EXPECT_EQ(devices.field(DeviceField::Mac, 0), "");
    EXPECT_EQ(devices.field(DeviceField::Mac, -1), "");
    EXPECT_EQ(devices.field(static_cast<DeviceField>(99), 1), "");
    devices.setField(DeviceField::Name, 99, "x");
    devices.setField(static_cast<DeviceField>(-3), 1, "x");
    EXPECT_FALSE(devices.noteSender(1, 0x0A000001));
    EXPECT_EQ(devices.firstSender(1), 0U);
    EXPECT_EQ(devices.size(), 0);
}

}  // namespace
}  // namespace kavren::devices

// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/addressindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "tests/support/fakes.h"

namespace kavren::devices {
namespace {

DeviceRecord device(const std::string& mac, const std::string& ip) {
    return {.mac = mac,
            .name = "",
            .version = "",
            .deviceIp = *protocol::Ipv4Address::parse(ip),
            .mask = *protocol::Ipv4Address::parse("255.255.255.0"),
            .gateway = {},
            .description = ""};
}

std::vector<int> sorted(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Mark changes are gathered for a list that is shown.
struct NullObserver final : DeviceListObserver {
    void listCleared() override {}
    void devicesAppended(int, int) override {}
    void fieldChanged(DeviceField, int) override {}
};

class AddressIndexTest : public testing::Test {
protected:
    AddressIndexTest() { devices.setObserver(&observer); }
    const AddressIndex& index() const { return devices.addresses(); }
    NullObserver observer;
    DeviceList devices{64};
};

TEST_F(AddressIndexTest, DuplicatesInABurstMarkEveryRowThatShares) {
    devices.append(device("02-00-00-00-00-01", "192.168.0.100"));
    devices.append(device("02-00-00-00-00-02", "192.168.0.7"));
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("192.168.0.100"), 1));
    EXPECT_TRUE(devices.takeAddressMarkChanges().empty());

    devices.append(device("02-00-00-00-00-03", "192.168.0.100"));
    devices.append(device("02-00-00-00-00-04", "192.168.0.100"));
    EXPECT_TRUE(index().reportedByOther(testsupport::ipv4("192.168.0.100"), 1));
    EXPECT_TRUE(index().reportedByOther(testsupport::ipv4("192.168.0.100"), 3));
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("192.168.0.7"), 2));
    EXPECT_EQ(index().rowsReporting(testsupport::ipv4("192.168.0.100"), 3),
              (std::vector<int>{1, 4}));
    // Row 1 turned from alone to shared; rows 3 and 4 are new and known so.
    EXPECT_EQ(devices.takeAddressMarkChanges(), std::vector<int>{1});
    EXPECT_TRUE(devices.takeAddressMarkChanges().empty());
}

TEST_F(AddressIndexTest, EditingDeviceIpMovesTheRowAndReleasesItsPartner) {
    devices.append(device("02-00-00-00-00-01", "10.0.0.1"));
    devices.append(device("02-00-00-00-00-02", "10.0.0.1"));
    devices.takeAddressMarkChanges();
    devices.setField(DeviceField::DeviceIp, 2, "10.0.0.2");
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 1));
    EXPECT_EQ(index().rowsReporting(testsupport::ipv4("10.0.0.2"), 0), std::vector<int>{2});
    EXPECT_EQ(devices.takeAddressMarkChanges(), std::vector<int>{1});
    // Row 1 moving over: row 2 gains a partner, and the address row 2 is to
    // take (its IP Address still reads 10.0.0.1) is no longer reported.
    devices.setField(DeviceField::DeviceIp, 1, "10.0.0.2");
    EXPECT_EQ(index().rowsReporting(testsupport::ipv4("10.0.0.2"), 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(devices.takeAddressMarkChanges(), (std::vector<int>{2, 2}));
}

TEST_F(AddressIndexTest, ATypedAddressIsMarkedWhileAnotherDeviceReportsIt) {
    devices.append(device("02-00-00-00-00-01", "10.0.0.1"));
    devices.append(device("02-00-00-00-00-02", "10.0.0.2"));
    // Typing another device's address into row 2's IP Address.
    devices.setField(DeviceField::Ip, 2, "10.0.0.1");
    EXPECT_TRUE(index().reportedByOther(*devices.addressToTake(2), 2));
    // That device leaving (its address edited away) changes row 2's mark,
    // and a device reporting the address again changes it back.
    devices.setField(DeviceField::DeviceIp, 1, "10.0.0.9");
    EXPECT_EQ(devices.takeAddressMarkChanges(), std::vector<int>{2});
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 2));
    // Row 1's own IP Address still reads 10.0.0.1, so it is marked too.
    devices.append(device("02-00-00-00-00-03", "10.0.0.1"));
    EXPECT_EQ(sorted(devices.takeAddressMarkChanges()), (std::vector<int>{1, 2}));
}

TEST_F(AddressIndexTest, OnlyDeviceRowsCountAndClearForgetsAll) {
    devices.append(device("02-00-00-00-00-01", "10.0.0.1"));
    // Beyond the last device nothing is written.
    devices.setField(DeviceField::DeviceIp, 2, "10.0.0.1");
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 1));
    devices.append(device("02-00-00-00-00-02", "10.0.0.1"));
    EXPECT_TRUE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 1));

    devices.clear();
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 0));
    EXPECT_TRUE(devices.takeAddressMarkChanges().empty());
    devices.append(device("02-00-00-00-00-01", "10.0.0.1"));
    EXPECT_FALSE(index().reportedByOther(testsupport::ipv4("10.0.0.1"), 1));
}

TEST_F(AddressIndexTest, ManyDevicesOnFewAddresses) {
    // A burst of the lab's generated devices: addresses repeat every 126.
    for (int i = 0; i < 1000; ++i) {
        devices.append(
            device("mac" + std::to_string(i), "198.18.0." + std::to_string(129 + i % 126)));
    }
    EXPECT_EQ(index().rowsReporting(testsupport::ipv4("198.18.0.129"), 1).size(), 7u);
    EXPECT_EQ(sorted(devices.takeAddressMarkChanges()).size(), 126u);
}

TEST(AddressIndexUnshown, GathersNoMarkChanges) {
    DeviceList devices(16);
    devices.append(device("02-00-00-00-00-01", "10.0.0.1"));
    devices.append(device("02-00-00-00-00-02", "10.0.0.1"));
    EXPECT_TRUE(devices.addresses().reportedByOther(testsupport::ipv4("10.0.0.1"), 1));
    EXPECT_TRUE(devices.takeAddressMarkChanges().empty());
}

TEST(SameSubnet, ComparesUnderTheMask) {
    struct Case {
        const char* address;
        const char* netmask;
        bool same;
    };
    for (const Case c :
         {Case{"192.168.0.77", "255.255.255.0", true}, Case{"192.168.1.77", "255.255.255.0", false},
          Case{"192.168.1.77", "255.255.0.0", true}, Case{"1.2.3.4", "0.0.0.0", true}}) {
        EXPECT_EQ(sameSubnet(testsupport::ipv4(c.address), testsupport::ipv4("192.168.0.10"),
                             testsupport::ipv4(c.netmask)),
                  c.same)
            << c.address << "/" << c.netmask;
    }
}

}  // namespace
}  // namespace kavren::devices

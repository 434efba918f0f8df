// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/addressindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devices/devicegrid.h"

namespace kavren::devices {
namespace {

DeviceGrid::DeviceRowTexts device(const std::string& mac, const std::string& ip) {
    return {.mac = mac,
            .name = "",
            .version = "",
            .deviceIp = ip,
            .ip = ip,
            .mask = "255.255.255.0",
            .gateway = "",
            .description = ""};
}

std::vector<int> sorted(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Mark changes are gathered for a grid that is shown.
struct NullObserver final : GridObserver {
    void gridReset() override {}
    void rowsAppended(int, int) override {}
    void cellChanged(int, int) override {}
    void headersChanged() override {}
};

class AddressIndexTest : public testing::Test {
protected:
    AddressIndexTest() {
        grid.setUp();
        grid.setObserver(&observer);
    }
    const AddressIndex& index() const { return grid.addresses(); }
    NullObserver observer;
    DeviceGrid grid{64};
};

TEST_F(AddressIndexTest, DuplicatesInABurstMarkEveryRowThatShares) {
    grid.appendDeviceRow(device("02-00-00-00-00-01", "192.168.0.100"));
    grid.appendDeviceRow(device("02-00-00-00-00-02", "192.168.0.7"));
    EXPECT_FALSE(index().reportedByOther("192.168.0.100", 1));
    EXPECT_TRUE(grid.takeAddressMarkChanges().empty());

    grid.appendDeviceRow(device("02-00-00-00-00-03", "192.168.0.100"));
    grid.appendDeviceRow(device("02-00-00-00-00-04", "192.168.0.100"));
    EXPECT_TRUE(index().reportedByOther("192.168.0.100", 1));
    EXPECT_TRUE(index().reportedByOther("192.168.0.100", 3));
    EXPECT_FALSE(index().reportedByOther("192.168.0.7", 2));
    EXPECT_EQ(index().rowsReporting("192.168.0.100", 3), (std::vector<int>{1, 4}));
    // Row 1 turned from alone to shared; rows 3 and 4 are new and known so.
    EXPECT_EQ(grid.takeAddressMarkChanges(), std::vector<int>{1});
    EXPECT_TRUE(grid.takeAddressMarkChanges().empty());
}

TEST_F(AddressIndexTest, AddressesCompareByValueNotText) {
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    EXPECT_TRUE(index().reportedByOther(" 10.0.0.01 ", 2));
    EXPECT_EQ(index().rowsReporting("010.000.000.001", 0), std::vector<int>{1});
    for (const char* notAnAddress : {"", "10.0.0", "10.0.0.1/24", "10.0.0.256", "x"}) {
        EXPECT_FALSE(index().reportedByOther(notAnAddress, 0)) << notAnAddress;
        EXPECT_TRUE(index().rowsReporting(notAnAddress, 0).empty()) << notAnAddress;
    }
}

TEST_F(AddressIndexTest, EditingDeviceIpMovesTheRowAndReleasesItsPartner) {
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    grid.appendDeviceRow(device("02-00-00-00-00-02", "10.0.0.1"));
    grid.takeAddressMarkChanges();
    grid.setCell(DeviceGrid::ColDeviceIp, 2, "10.0.0.2");
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 1));
    EXPECT_EQ(index().rowsReporting("10.0.0.2", 0), std::vector<int>{2});
    EXPECT_EQ(grid.takeAddressMarkChanges(), std::vector<int>{1});
    // Row 1 moving over: row 2 gains a partner, and the address row 2 is to
    // take (its IP Address still reads 10.0.0.1) is no longer reported.
    grid.setCell(DeviceGrid::ColDeviceIp, 1, "10.0.0.2");
    EXPECT_EQ(index().rowsReporting("10.0.0.2", 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(grid.takeAddressMarkChanges(), (std::vector<int>{2, 2}));
}

TEST_F(AddressIndexTest, ATypedAddressIsMarkedWhileAnotherDeviceReportsIt) {
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    grid.appendDeviceRow(device("02-00-00-00-00-02", "10.0.0.2"));
    // Typing another device's address into row 2's IP Address.
    grid.setCell(DeviceGrid::ColIp, 2, "10.0.0.1");
    EXPECT_TRUE(index().reportedByOther(grid.cell(DeviceGrid::ColIp, 2), 2));
    // That device leaving (its address edited away) changes row 2's mark,
    // and a device reporting the address again changes it back.
    grid.setCell(DeviceGrid::ColDeviceIp, 1, "10.0.0.9");
    EXPECT_EQ(grid.takeAddressMarkChanges(), std::vector<int>{2});
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 2));
    // Row 1's own IP Address still reads 10.0.0.1, so it is marked too.
    grid.appendDeviceRow(device("02-00-00-00-00-03", "10.0.0.1"));
    EXPECT_EQ(sorted(grid.takeAddressMarkChanges()), (std::vector<int>{1, 2}));
}

TEST_F(AddressIndexTest, OnlyDeviceRowsCountAndClearForgetsAll) {
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    // The trailing row is no device, whatever is written into it.
    grid.setCell(DeviceGrid::ColDeviceIp, 2, "10.0.0.1");
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 1));
    grid.appendDeviceRow(device("02-00-00-00-00-02", "10.0.0.1"));
    // A row whose number is wiped stops being a device row.
    grid.setCell(DeviceGrid::ColRow, 2, "");
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 1));
    grid.setCell(DeviceGrid::ColRow, 2, "2");
    EXPECT_TRUE(index().reportedByOther("10.0.0.1", 1));

    grid.clear();
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 0));
    EXPECT_TRUE(grid.takeAddressMarkChanges().empty());
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    EXPECT_FALSE(index().reportedByOther("10.0.0.1", 1));
}

TEST_F(AddressIndexTest, ManyDevicesOnFewAddresses) {
    // A burst of the lab's generated devices: addresses repeat every 126.
    for (int i = 0; i < 1000; ++i) {
        grid.appendDeviceRow(
            device("mac" + std::to_string(i), "198.18.0." + std::to_string(129 + i % 126)));
    }
    EXPECT_EQ(index().rowsReporting("198.18.0.129", 1).size(), 7u);
    EXPECT_EQ(sorted(grid.takeAddressMarkChanges()).size(), 126u);
}

TEST(AddressIndexUnshown, GathersNoMarkChanges) {
    DeviceGrid grid(16);
    grid.appendDeviceRow(device("02-00-00-00-00-01", "10.0.0.1"));
    grid.appendDeviceRow(device("02-00-00-00-00-02", "10.0.0.1"));
    EXPECT_TRUE(grid.addresses().reportedByOther("10.0.0.1", 1));
    EXPECT_TRUE(grid.takeAddressMarkChanges().empty());
}

TEST(SameSubnet, ComparesUnderTheMask) {
    EXPECT_EQ(sameSubnet("192.168.0.77", "192.168.0.10", "255.255.255.0"), true);
    EXPECT_EQ(sameSubnet("192.168.1.77", "192.168.0.10", "255.255.255.0"), false);
    EXPECT_EQ(sameSubnet("192.168.1.77", "192.168.0.10", "255.255.0.0"), true);
    EXPECT_EQ(sameSubnet("1.2.3.4", "192.168.0.10", "0.0.0.0"), true);
    EXPECT_EQ(sameSubnet("1.2.3", "192.168.0.10", "255.0.0.0"), std::nullopt);
    EXPECT_EQ(sameSubnet("1.2.3.4", "", "255.0.0.0"), std::nullopt);
}

}  // namespace
}  // namespace kavren::devices

// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicesearch.h"

#include <gtest/gtest.h>

#include <string>

#include "devices/devicelist.h"

namespace kavren::devices {
namespace {

using Direction = DeviceSearch::Direction;

class DeviceSearchTest : public testing::Test {
protected:
    DeviceSearchTest() {
        add("02-4B-56-00-00-01", "Pump North", "1.0.0", "198.18.0.130", "Loading bay");
        add("02-4B-56-00-00-02", "Gate-South", "2.14", "198.18.0.131", "");
        add("00-1A-2B-3C-4D-5E", "Caf\xC9 <b>", "1.0.0", "10.0.0.1", "100%s \xE9t\xE9");
        add("02-4B-56-00-00-04", "pump south", "1.0.0", "198.18.0.133", "spare");
    }
    void add(const std::string& mac, const std::string& name, const std::string& version,
             const std::string& ip, const std::string& description) {
        devices.append({.mac = mac,
                        .name = name,
                        .version = version,
                        .deviceIp = *protocol::Ipv4Address::parse(ip),
                        .mask = *protocol::Ipv4Address::parse("255.255.0.0"),
                        .gateway = *protocol::Ipv4Address::parse("10.9.9.9"),
                        .description = description});
    }
    // Searches the list's fields and the index; both must agree.
    std::optional<int> find(const std::string& text, int start,
                            Direction direction = Direction::Forward) {
        const DeviceSearch search(text);
        const auto hit = search.find(devices, start, direction);
        index.update(devices);
        const auto indexed = search.find(index, start, direction);
        EXPECT_EQ(hit.has_value(), indexed.has_value()) << text;
        if (hit && indexed) {
            EXPECT_EQ(hit->row, indexed->row) << text;
            EXPECT_EQ(hit->wrapped, indexed->wrapped) << text;
        }
        return hit ? std::optional<int>(hit->row) : std::nullopt;
    }
    DeviceList devices{64};
    DeviceSearchIndex index;
};

TEST_F(DeviceSearchTest, SearchesTheIdentifyingColumnsIgnoringCase) {
    EXPECT_EQ(find("PUMP", 1), 1);
    EXPECT_EQ(find("gate-s", 1), 2);
    EXPECT_EQ(find("2.14", 1), 2);
    EXPECT_EQ(find("0.0.1", 1), 3);    // DeviceIP
    EXPECT_EQ(find("LOADING", 2), 1);  // description, after going round
    EXPECT_EQ(find("caf\xE9", 1), 3);  // Latin-1 capitals fold too
    EXPECT_EQ(find("\xC9T\xC9", 1), 3);
    EXPECT_EQ(find("<b>", 1), 3);  // markup and format texts are just text
    EXPECT_EQ(find("%s", 1), 3);
    // The settings to be sent are not what identifies a device.
    EXPECT_FALSE(find("172.31", 1));
    EXPECT_FALSE(find("10.9.9.9", 1));
    EXPECT_FALSE(find("", 1));
}

TEST_F(DeviceSearchTest, AMacIsFoundWithOrWithoutSeparators) {
    EXPECT_EQ(find("001a2b", 1), 3);
    EXPECT_EQ(find("00:1a:2b:3c", 1), 3);
    EXPECT_EQ(find("3C-4D", 1), 3);
    EXPECT_EQ(find("4b56000004", 1), 4);
    EXPECT_EQ(find("4b 56-00", 2), 2);
    // The digits of a MAC piece are looked for in MACs only.
    devices.setField(DeviceField::Description, 1, "code 1a2b");
    EXPECT_EQ(find("1a:2b", 1), 3);
    EXPECT_EQ(find("1a:2b", 3, Direction::Backward), 3);
    EXPECT_EQ(find("1A2B", 4), 1);  // plain text, found in the description too
    // A dot makes it an address: "0.0.1" is no MAC piece "001".
    EXPECT_FALSE(find("56.00", 1));
    // Other characters make it plain text, which no MAC contains.
    EXPECT_FALSE(find("001a2b/", 1));
}

TEST_F(DeviceSearchTest, ForwardAndBackwardGoRoundOnce) {
    EXPECT_EQ(find("pump", 2), 4);
    EXPECT_EQ(find("pump", 5), 1);  // stepping on past the last row
    EXPECT_EQ(find("pump", 3, Direction::Backward), 1);
    EXPECT_EQ(find("pump", 0, Direction::Backward), 4);
    EXPECT_EQ(find("pump", 1), 1);  // the start row itself counts

    const DeviceSearch pump("pump");
    const struct {
        int start;
        Direction direction;
        bool wrapped;
    } cases[] = {{2, Direction::Forward, false},
                 {5, Direction::Forward, true},
                 {0, Direction::Backward, true},
                 {3, Direction::Backward, false}};
    for (const auto& c : cases) {
        const auto hit = pump.find(devices, c.start, c.direction);
        ASSERT_TRUE(hit) << c.start;
        EXPECT_EQ(hit->wrapped, c.wrapped) << c.start;
    }
}

TEST_F(DeviceSearchTest, NothingMatchesOutsideTheDeviceRows) {
    EXPECT_FALSE(find("nobody", 1));
    EXPECT_FALSE(DeviceSearch("MAC Address").matches(devices, 0));  // the headers
    devices.setField(DeviceField::Name, 5, "pump beyond the last device");
    EXPECT_FALSE(DeviceSearch("beyond").matches(devices, 5));
    devices.clear();
    EXPECT_FALSE(find("pump", 1));
}

TEST_F(DeviceSearchTest, TheIndexFollowsAppendsEditsAndClear) {
    EXPECT_EQ(find("boiler", 1), std::nullopt);
    add("02-4B-56-00-00-05", "Boiler", "1.0.0", "198.18.0.134", "");
    EXPECT_EQ(find("boiler", 1), 5);  // appended since the last update
    devices.setField(DeviceField::Description, 2, "Near the boiler");
    EXPECT_EQ(find("boiler", 1), 2);  // an edit rebuilds it
    devices.setField(DeviceField::Description, 2, "");
    EXPECT_EQ(find("boiler", 1), 5);  // and so does the next
    devices.clear();
    EXPECT_EQ(find("boiler", 1), std::nullopt);
    add("02-4B-56-00-00-09", "x", "", "10.0.0.9", "");
    EXPECT_EQ(find("4b5600", 1), 1);
    // The settings to be sent are not searched, so they leave it as it is.
    const std::uint64_t before = devices.searchedChanges();
    devices.setField(DeviceField::Ip, 1, "10.0.0.99");
    devices.setField(DeviceField::NewPassword, 1, "pw");
    EXPECT_EQ(devices.searchedChanges(), before);
}

}  // namespace
}  // namespace kavren::devices

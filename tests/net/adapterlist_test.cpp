// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "net/adapters.h"
#include "tests/support/fakes.h"

namespace kavren::net {
namespace {

using testsupport::FakeAdapterQuery;
using testsupport::ipv4;

AdapterList filled(std::optional<std::vector<AdapterInfo>> answer) {
    FakeAdapterQuery query(std::move(answer));
    AdapterList list;
    list.fill(query);
    return list;
}

const protocol::MacBytes kMacA{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const protocol::MacBytes kMacB{0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};

TEST(AdapterList, OneAdapterOneAddressIsSelectedAndBecomesTheSource) {
    const AdapterList list = filled(std::vector<AdapterInfo>{{kMacA, {"192.168.0.10"}}});
    ASSERT_EQ(list.entryTexts().size(), 1u);
    EXPECT_EQ(list.entryTexts()[0], "192.168.0.10 (00:1A:2B:3C:4D:5E)");
    EXPECT_EQ(list.initialSelection(), 0);
    EXPECT_EQ(list.sourceAddress(), "192.168.0.10");
    EXPECT_EQ(list.tableSlot(0), "192.168.0.10");
    EXPECT_EQ(list.tableSlot(1), "");
}

TEST(AdapterList, EveryAddressOfEveryAdapterInOrderAndSelectionPicksItsSlot) {
    AdapterList list = filled(
        std::vector<AdapterInfo>{{kMacA, {"192.168.0.10", "10.0.0.5"}}, {kMacB, {"172.16.1.2"}}});
    ASSERT_EQ(list.entryTexts().size(), 3u);
    EXPECT_EQ(list.entryTexts()[0], "192.168.0.10 (00:1A:2B:3C:4D:5E)");
    EXPECT_EQ(list.entryTexts()[1], "10.0.0.5 (00:1A:2B:3C:4D:5E)");
    EXPECT_EQ(list.entryTexts()[2], "172.16.1.2 (0A:0B:0C:0D:0E:0F)");
    list.selectionChanged(2);
    EXPECT_EQ(list.sourceAddress(), "172.16.1.2");
    list.selectionChanged(1);
    EXPECT_EQ(list.sourceAddress(), "10.0.0.5");
}

TEST(AdapterList, NetmaskBelongsToItsOwnAddressAndUnknownMasksGiveNothing) {
    const AdapterList list = filled(std::vector<AdapterInfo>{
        {kMacA, {"192.168.0.10", "10.0.0.5"}, {"255.255.255.0", "255.0.0.0"}},
        {kMacB, {"172.16.1.2"}, {"0.0.0.0"}},
        {kMacB, {"172.16.9.9"}}});
    EXPECT_EQ(list.netmaskOf(ipv4("10.0.0.5")), ipv4("255.0.0.0"));
    EXPECT_EQ(list.netmaskOf(ipv4("192.168.0.10")), ipv4("255.255.255.0"));
    EXPECT_EQ(list.netmaskOf(ipv4("172.16.1.2")), std::nullopt);
    EXPECT_EQ(list.netmaskOf(ipv4("172.16.9.9")), std::nullopt);
    EXPECT_EQ(list.netmaskOf(ipv4("10.0.0.6")), std::nullopt);
}

TEST(AdapterList, TypedTextThatIsNoEntryKeepsTheSourceAddress) {
    AdapterList list = filled(
        std::vector<AdapterInfo>{{kMacA, {"192.168.0.10", "10.0.0.5"}}, {kMacB, {"172.16.1.2"}}});
    list.selectionChanged(2);
    list.selectionChanged(-1);
    EXPECT_EQ(list.sourceAddress(), "172.16.1.2");
}

TEST(AdapterList, AdapterWithoutIpv4AddressIsListedWithAnyAddress) {
    AdapterList list = filled(std::vector<AdapterInfo>{{kMacA, {"192.168.0.10"}}, {kMacB, {}}});
    ASSERT_EQ(list.entryTexts().size(), 2u);
    EXPECT_EQ(list.entryTexts()[1], "0.0.0.0 (0A:0B:0C:0D:0E:0F)");
    list.selectionChanged(1);
    EXPECT_EQ(list.sourceAddress(), "0.0.0.0");
}

TEST(AdapterList, MacTextIsAlwaysTwoUpperCaseDigits) {
    EXPECT_EQ(AdapterList::macText(kMacB), "0A:0B:0C:0D:0E:0F");
    EXPECT_EQ(AdapterList::macText({0xff, 0, 1, 0x10, 0xab, 0x9}), "FF:00:01:10:AB:09");
}

TEST(AdapterList, FailedQueryLeavesEverythingEmpty) {
    AdapterList list = filled(std::nullopt);
    EXPECT_TRUE(list.entryTexts().empty());
    EXPECT_EQ(list.initialSelection(), -1);
    EXPECT_EQ(list.sourceAddress(), "");
    list.selectionChanged(-1);
    EXPECT_EQ(list.sourceAddress(), "");
}

TEST(AdapterList, RefillAfterFailedQueryForgetsTheEarlierList) {
    AdapterList list = filled(std::vector<AdapterInfo>{{kMacA, {"192.168.0.10"}}});
    FakeAdapterQuery failing(std::nullopt);
    list.fill(failing);
    EXPECT_TRUE(list.entryTexts().empty());
    EXPECT_EQ(list.tableSlot(0), "");
    EXPECT_EQ(list.sourceAddress(), "");
}

TEST(AdapterList, OnlyTheFirst256AddressesBecomeEntries) {
    std::vector<AdapterInfo> adapters(3);
    for (int a = 0; a < 3; ++a) {
        adapters[static_cast<std::size_t>(a)].mac = {0, 0, 0, 0, 0, static_cast<std::uint8_t>(a)};
        for (int i = 0; i < 100; ++i) {
            adapters[static_cast<std::size_t>(a)].addresses.push_back("10." + std::to_string(a) +
                                                                      ".0." + std::to_string(i));
        }
    }
    AdapterList list = filled(adapters);
    ASSERT_EQ(list.entryTexts().size(), 256u);
    EXPECT_EQ(list.tableSlot(255), "10.2.0.55");
    EXPECT_EQ(list.entryTexts()[255], "10.2.0.55 (00:00:00:00:00:02)");
    EXPECT_EQ(list.tableSlot(256), "");
    list.selectionChanged(255);
    EXPECT_EQ(list.sourceAddress(), "10.2.0.55");
}

}  // namespace
}  // namespace kavren::net

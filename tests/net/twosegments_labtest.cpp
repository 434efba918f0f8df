// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "labsockets.h"
#include "net/adapters.h"
#include "net/endpointsender.h"
#include "net/idudpclient.h"
#include "tests/lab/labguard.h"
#include "tests/support/fakes.h"
#include "usecases/discovery.h"

namespace kavren::net {
namespace {

using namespace std::chrono_literals;
using labtest::PeerSocket;

class TwoSegments : public ::testing::Test {
protected:
    void SetUp() override {
        KAVREN_REQUIRE_LAB();
        if (std::getenv("KAVREN_LAB_NODE_B") == nullptr)
            GTEST_SKIP() << "needs two segments";
    }
};

// A discovery request from one adapter's address is seen on that adapter's
// segment only.
TEST_F(TwoSegments, BroadcastLeavesThroughTheAdapterOfItsSourceAddressOnly) {
    PeerSocket onA("0.0.0.0", 62630, std::getenv("KAVREN_LAB_NODE_A"));
    PeerSocket onB("0.0.0.0", 62630, std::getenv("KAVREN_LAB_NODE_B"));
    TIdUDPClient client;

    EndpointSender sender(client);

    usecases::sendDiscoveryRequest(sender, testsupport::ipv4(lab::kHostA));
    auto seen = onA.receive(1000ms);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->peerIP, lab::kHostA);
    EXPECT_EQ(seen->data.size(), 16u);
    EXPECT_FALSE(onB.receive(300ms).has_value());

    usecases::sendDiscoveryRequest(sender, testsupport::ipv4(lab::kHostB));
    seen = onB.receive(1000ms);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->peerIP, lab::kHostB);
    EXPECT_FALSE(onA.receive(300ms).has_value());
}

// Asked of the kernel directly: /sys shows the machine's own links, not
// the lab's.
std::string macTextOf(const char* interface) {
    ifreq request{};
    std::strncpy(request.ifr_name, interface, IFNAMSIZ - 1);
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    const bool ok = probe >= 0 && ::ioctl(probe, SIOCGIFHWADDR, &request) == 0;
    if (probe >= 0)
        ::close(probe);
    if (!ok)
        return "?";
    protocol::MacBytes mac{};
    std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, mac.size());
    return AdapterList::macText(mac);
}

TEST_F(TwoSegments, PlatformQueryListsBothAdaptersInIndexOrderWithoutLoopback) {
    AdapterList list;
    list.fill(*makePlatformAdapterQuery());
    ASSERT_EQ(list.entryTexts().size(), 2u);
    EXPECT_EQ(list.entryTexts()[0], std::string(lab::kHostA) + " (" + macTextOf("kva0") + ")");
    EXPECT_EQ(list.entryTexts()[1], std::string(lab::kHostB) + " (" + macTextOf("kvb0") + ")");
    EXPECT_EQ(list.sourceAddress(), lab::kHostA);
    EXPECT_EQ(interfaceIndexOf(lab::kHostB), static_cast<int>(if_nametoindex("kvb0")));
    EXPECT_EQ(interfaceIndexOf("198.51.100.7"), 0);
}

TEST_F(TwoSegments, PlatformQueryGivesEveryAddressAndAnyAddressWhenThereIsNone) {
    // Changing the lab's own links touches nothing outside it.
    ASSERT_EQ(std::system("ip addr add 198.18.0.77/24 dev kva0"), 0);
    ASSERT_EQ(std::system("ip addr flush dev kvb0"), 0);
    const auto adapters = makePlatformAdapterQuery()->query();
    ASSERT_TRUE(adapters.has_value());
    ASSERT_EQ(adapters->size(), 2u);
    EXPECT_EQ((*adapters)[0].addresses, (std::vector<std::string>{lab::kHostA, "198.18.0.77"}));
    EXPECT_EQ((*adapters)[1].addresses, (std::vector<std::string>{"0.0.0.0"}));
}

TEST_F(TwoSegments, PlatformQueryLeavesOutAnAdapterThatIsDown) {
    ASSERT_EQ(std::system("ip link set kvb0 down"), 0);
    const auto adapters = makePlatformAdapterQuery()->query();
    ASSERT_TRUE(adapters.has_value());
    ASSERT_EQ(adapters->size(), 1u);
    EXPECT_EQ((*adapters)[0].addresses.front(), lab::kHostA);
}

}  // namespace
}  // namespace kavren::net

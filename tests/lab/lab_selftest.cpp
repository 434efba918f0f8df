// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/lab/emulatorprocess.h"
#include "tests/lab/labguard.h"

namespace kavren::lab {
namespace {

std::map<std::string, std::string> ipv4ByLink() {
    std::map<std::string, std::string> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
        result[entry->ifa_name] = text;
    }
    ::freeifaddrs(list);
    return result;
}

TEST(Lab, GuardAcceptsTheLab) {
    std::string why;
    EXPECT_TRUE(isIsolated(&why)) << why;
}

TEST(Lab, HostNamespaceHasBothSegments) {
    KAVREN_REQUIRE_LAB();
    const auto links = ipv4ByLink();
    EXPECT_EQ(links.size(), 3u);
    EXPECT_EQ(links.at("kva0"), "198.18.0.1");
    EXPECT_EQ(links.at("kvb0"), "198.19.0.1");
    EXPECT_STREQ(std::getenv("KAVREN_LAB_HOST_A"), "198.18.0.1");
    EXPECT_STREQ(std::getenv("KAVREN_LAB_HOST_B"), "198.19.0.1");
    EXPECT_NE(std::getenv("KAVREN_LAB_NODE_B"), nullptr);
}

// A bare sender and receiver of the host's side, so that the lab's own test
// does not lean on the product's endpoint layer.
class HostSocket final {
public:
    explicit HostSocket(const char* address, std::uint16_t port)
        : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        const sockaddr_in local = endpoint(address, port);
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
        timeval wait{0, 300000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~HostSocket() { ::close(m_fd); }
    HostSocket(const HostSocket&) = delete;
    HostSocket& operator=(const HostSocket&) = delete;

    bool bound() const { return m_bound; }

    bool sendTo(const std::string& bytes, const char* address, std::uint16_t port) {
        const sockaddr_in to = endpoint(address, port);
        return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }

    // Datagrams until count arrived or none came for 300 ms.
    std::vector<std::string> receive(std::size_t count) {
        std::vector<std::string> got;
        char buffer[2048];
        while (got.size() < count) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            got.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    static sockaddr_in endpoint(const char* address, std::uint16_t port) {
        sockaddr_in result{};
        result.sin_family = AF_INET;
        result.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &result.sin_addr);
        return result;
    }

    int m_fd;
    bool m_bound = false;
};

const std::string kDiscovery("KAVRENut\x00\x16\xff\xff\xff\xff\xff\xff", 16);

TEST(Lab, EmulatorAnswersDiscoveryAndLogsExactBytes) {
    KAVREN_REQUIRE_LAB();
    EmulatorProcess emulator({"--generate", "3"});
    std::string error;
    ASSERT_TRUE(emulator.start(&error)) << error;
    HostSocket replies("0.0.0.0", 62631);
    ASSERT_TRUE(replies.bound());
    HostSocket sender("198.18.0.1", 0);
    ASSERT_TRUE(sender.sendTo(kDiscovery, "255.255.255.255", 62630));

    const std::vector<std::string> got = replies.receive(4);
    ASSERT_EQ(got.size(), 3u);
    std::set<std::string> macs;
    for (const std::string& reply : got) {
        ASSERT_EQ(reply.size(), 112u);
        EXPECT_EQ(reply.substr(0, 10), std::string("KAVRENut\x00\x70", 10));
        macs.insert(reply.substr(10, 6));
    }
    EXPECT_EQ(macs.size(), 3u);

    const auto log = emulator.waitForReceived(1, std::chrono::seconds(2));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(toHex(log[0].bytes), toHex(kDiscovery));
    EXPECT_EQ(log[0].kind, "discovery");
    EXPECT_EQ(log[0].source, "198.18.0.1");
    EXPECT_EQ(log[0].destination, "255.255.255.255");
    EXPECT_EQ(log[0].destinationPort, 62630);

    emulator.stop();
    EXPECT_FALSE(emulator.isRunning());
    EXPECT_EQ(emulator.exitStatus(), 0);
}

// Unicast to any address of the segment's upper half reaches the one
// emulator socket; a broadcast from segment A's address stays on A.
TEST(Lab, PoolAddressesAndSegmentsReachTheRightEmulator) {
    KAVREN_REQUIRE_LAB();
    EmulatorProcess onA({"--generate", "1"});
    EmulatorProcess onB({"--generate", "1", "--subnet", "198.19.0.128/25"},
                        std::getenv("KAVREN_LAB_NODE_B"));
    std::string error;
    ASSERT_TRUE(onA.start(&error)) << error;
    ASSERT_TRUE(onB.start(&error)) << error;
    HostSocket sender("198.18.0.1", 0);
    ASSERT_TRUE(sender.sendTo("to-128", "198.18.0.128", 62630));
    ASSERT_TRUE(sender.sendTo("to-254", "198.18.0.254", 62630));
    ASSERT_TRUE(sender.sendTo(kDiscovery, "255.255.255.255", 62630));

    const auto onALog = onA.waitForReceived(3, std::chrono::seconds(2));
    ASSERT_EQ(onALog.size(), 3u);
    EXPECT_EQ(onALog[0].destination, "198.18.0.128");
    EXPECT_EQ(onALog[0].bytes, "to-128");
    EXPECT_EQ(onALog[0].kind, "other");
    EXPECT_EQ(onALog[1].destination, "198.18.0.254");
    EXPECT_TRUE(onB.received().empty());
}

}  // namespace
}  // namespace kavren::lab

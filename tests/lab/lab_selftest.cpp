#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <string>

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

}  // namespace
}  // namespace kavren::lab

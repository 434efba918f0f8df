// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/lab/emulatorlog.h"
#include "tests/lab/labguard.h"
#include "tests/lab/labroutes.h"
#include "tests/lab/labsend.h"

namespace kavren::lab {
namespace {

class ScopedEnv final {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_had = true;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_had) {
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(LabGuard, RefusesWithoutLabVariable) {
    ScopedEnv lab("KAVREN_LAB", nullptr);
    std::string why;
    EXPECT_FALSE(isIsolated(&why));
    EXPECT_NE(why.find("KAVREN_LAB"), std::string::npos) << why;
    EXPECT_NE(notIsolatedMessage(why).find("lab.sh run"), std::string::npos);
}

// This test runs outside the lab, in the namespace it was started in: a
// forged KAVREN_LAB=1 must not pass there.
TEST(LabGuard, RefusesForgedVariableInStartingNamespace) {
    ScopedEnv lab("KAVREN_LAB", "1");
    char self[128] = {};
    const ssize_t n = ::readlink("/proc/self/ns/net", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    ScopedEnv outer("KAVREN_LAB_OUTER_NETNS", self);
    std::string why;
    EXPECT_FALSE(isIsolated(&why));
    EXPECT_FALSE(why.empty());
}

TEST(LabGuard, AcceptsNullReason) {
    ScopedEnv lab("KAVREN_LAB", nullptr);
    EXPECT_FALSE(isIsolated(nullptr));
}

// The tests' loopback sender asks the guard itself: started outside a lab
// (as this test is, even with a forged variable) it sends nothing.
TEST(LabGuard, LoopbackSenderRefusesOutsideTheLab) {
    ScopedEnv lab("KAVREN_LAB", "1");
    char self[128] = {};
    const ssize_t n = ::readlink("/proc/self/ns/net", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    ScopedEnv outer("KAVREN_LAB_OUTER_NETNS", self);
    const std::uint8_t datagram[] = {'K', 'A', 'V', 'R', 'E', 'N', 'u', 't', 0, 0x30};
    EXPECT_FALSE(sendToLoopback(datagram));
}

// The lab's own table (two subnet routes) passes; a default route anywhere
// in it, as on the machine's real namespace, is caught.
TEST(LabGuard, FindsTheDefaultRouteInARouteTable) {
    const std::string titles =
        "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n";
    const std::string lab =
        "kva0\t000012C6\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "kvb0\t000013C6\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
    const std::string out = "eth0\t00000000\t0102A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
    std::istringstream labOnly(titles + lab);
    EXPECT_FALSE(routesHaveDefault(labOnly));
    std::istringstream withDefault(titles + lab + out);
    EXPECT_TRUE(routesHaveDefault(withDefault));
    // The title line is never read as a route, and an empty table has none.
    std::istringstream titleOnly(titles);
    EXPECT_FALSE(routesHaveDefault(titleOnly));
}

TEST(EmulatorLog, ReadsEveryField) {
    const auto record = parseLogLine(
        R"({"t":1712345678.5,"src":"198.18.0.1","sport":40000,"dst":"255.255.255.255",)"
        R"("dport":62630,"len":3,"kind":"other","hex":"00ff25"})");
    ASSERT_TRUE(record.has_value());
    EXPECT_DOUBLE_EQ(record->time, 1712345678.5);
    EXPECT_EQ(record->source, "198.18.0.1");
    EXPECT_EQ(record->sourcePort, 40000);
    EXPECT_EQ(record->destination, "255.255.255.255");
    EXPECT_EQ(record->destinationPort, 62630);
    EXPECT_EQ(record->kind, "other");
    EXPECT_EQ(record->bytes, std::string("\x00\xff%", 3));
}

TEST(EmulatorLog, EmptyPayloadAndUnknownDestination) {
    const auto record = parseLogLine(
        R"({"t":1,"src":"198.18.0.1","sport":1,"dst":"","dport":0,"len":0,"kind":"other","hex":""})");
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->bytes.empty());
    EXPECT_TRUE(record->destination.empty());
}

TEST(EmulatorLog, RejectsBrokenLines) {
    const std::string good =
        R"({"t":1,"src":"a","sport":1,"dst":"b","dport":2,"len":1,"kind":"k","hex":"41"})";
    ASSERT_TRUE(parseLogLine(good).has_value());
    // A line still being written, an odd or non-hex payload, a port out of
    // range and a missing key.
    EXPECT_FALSE(parseLogLine(good.substr(0, good.size() - 6)).has_value());
    EXPECT_FALSE(
        parseLogLine(R"({"t":1,"src":"a","sport":1,"dst":"b","dport":2,"kind":"k","hex":"4"})")
            .has_value());
    EXPECT_FALSE(
        parseLogLine(R"({"t":1,"src":"a","sport":1,"dst":"b","dport":2,"kind":"k","hex":"4g"})")
            .has_value());
    EXPECT_FALSE(
        parseLogLine(R"({"t":1,"src":"a","sport":70000,"dst":"b","dport":2,"kind":"k","hex":""})")
            .has_value());
    EXPECT_FALSE(
        parseLogLine(R"({"t":1,"src":"a","dst":"b","dport":2,"kind":"k","hex":""})").has_value());
}

TEST(EmulatorLog, HexRoundTrip) {
    const std::string bytes("\x00\x7f\x80\xff", 4);
    EXPECT_EQ(toHex(bytes), "007f80ff");
    const auto record = parseLogLine(
        R"({"t":1,"src":"a","sport":1,"dst":"b","dport":2,"kind":"k","hex":"007F80fF"})");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->bytes, bytes);
}

}  // namespace
}  // namespace kavren::lab

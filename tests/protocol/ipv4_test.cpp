// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ipv4.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kavren::protocol {
namespace {

TEST(FormatText, DottedHasNoLeadingZeros) {
    EXPECT_EQ(Ipv4Address(Ipv4Bytes{0x0A, 0x00, 0x00, 0x01}).text(), "10.0.0.1");
    EXPECT_EQ(Ipv4Address(Ipv4Bytes{0xC0, 0xA8, 0x00, 0x01}).text(), "192.168.0.1");
    EXPECT_EQ(Ipv4Address(Ipv4Bytes{0xFF, 0xFF, 0xFF, 0x00}).text(), "255.255.255.0");
    EXPECT_EQ(Ipv4Address(Ipv4Bytes{0, 0, 0, 0}).text(), "0.0.0.0");
    EXPECT_EQ(Ipv4Address(0xC6130002U).text(), "198.19.0.2");
    EXPECT_EQ(Ipv4Address(0xC6130002U), Ipv4Address(Ipv4Bytes{198, 19, 0, 2}));
}

// What a socket is given: host order, the first byte the highest, decimal
// parts however many leading zeros they have.
TEST(ParseIpv4Bounds, ValueIsHostOrder) {
    EXPECT_EQ(Ipv4Address::parse("198.18.0.1")->value(), 0xC6120001U);
    EXPECT_EQ(Ipv4Address::parse("255.255.255.255"), kLimitedBroadcast);
    EXPECT_TRUE(Ipv4Address::parse("0.0.0.0")->isAny());
    EXPECT_EQ(Ipv4Address::parse("010.1.1.1")->value() >> 24, 10U);
}

struct ParseCase {
    const char* text;
    bool valid;
    Ipv4Bytes values;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseIpv4 : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIpv4, JudgesTheText) {
    const ParseCase& c = GetParam();
    const auto result = Ipv4Address::parse(c.text);
    EXPECT_EQ(result.has_value(), c.valid) << '"' << c.text << '"';
    if (c.valid && result) {
        EXPECT_EQ(result->bytes(), c.values) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Valid, ParseIpv4,
    testing::Values(ParseCase{"192.168.0.1", true, {192, 168, 0, 1}},
                    ParseCase{"1.2.3.4", true, {1, 2, 3, 4}},
                    ParseCase{"0.0.0.0", true, {0, 0, 0, 0}},
                    ParseCase{"255.255.255.255", true, {255, 255, 255, 255}},
                    ParseCase{"010.001.000.009", true, {10, 1, 0, 9}},
                    ParseCase{"0000255.0.0.1", true, {255, 0, 0, 1}},
                    // Blanks around parts are what people type; they are ignored.
                    ParseCase{"10 . 0 . 0 . 1", true, {10, 0, 0, 1}},
                    ParseCase{" 192.168.0.1 ", true, {192, 168, 0, 1}},
                    ParseCase{"\t10.0.0.1\t", true, {10, 0, 0, 1}}));

// The parser used to drop stray characters and read what was left, so a typed
// "192.168.1.1/24" became 192.168.1.124. Such texts are refused now.
INSTANTIATE_TEST_SUITE_P(
    Invalid, ParseIpv4,
    testing::Values(ParseCase{"", false, {}}, ParseCase{"192.168.0", false, {}},
                    ParseCase{"10.0.0.1.5", false, {}}, ParseCase{"256.1.1.1", false, {}},
                    ParseCase{"1.1.1.256", false, {}}, ParseCase{"10..0.1", false, {}},
                    ParseCase{".10.0.1", false, {}}, ParseCase{"10.0.1.", false, {}},
                    ParseCase{"a.b.c.d", false, {}}, ParseCase{"...", false, {}},
                    ParseCase{"192.168.1.1/24", false, {}}, ParseCase{"1 0.0.0.1", false, {}},
                    ParseCase{"-1.2.3.4", false, {}}, ParseCase{"10,0.0.1", false, {}},
                    ParseCase{"192.168.0.300", false, {}}, ParseCase{"1.2.3.4\n", false, {}},
                    ParseCase{"99999999999999999999.1.1.1", false, {}},
                    // 29 zeros then 1.2.3.4: 36 digits and dots, over the 31 allowed.
                    ParseCase{"000000000000000000000000000001.2.3.4", false, {}}));

TEST(ParseIpv4Bounds, ThirtyOneDigitsAndDotsAreTheLimit) {
    const std::string at31 = std::string(24, '0') + "1.2.3.4";  // 24 + 7 = 31
    const std::string at32 = std::string(25, '0') + "1.2.3.4";
    EXPECT_TRUE(Ipv4Address::parse(at31));
    EXPECT_FALSE(Ipv4Address::parse(at32));
    // Blanks do not count towards the limit.
    EXPECT_TRUE(Ipv4Address::parse("  " + at31 + "  "));
}

TEST(ParseIpv4Bounds, RoundTripsFormattedAddresses) {
    const Ipv4Bytes samples[] = {
        {0, 0, 0, 0}, {255, 255, 255, 255}, {10, 0, 0, 1}, {192, 168, 100, 7}};
    for (const Ipv4Bytes& ip : samples) {
        const auto p = Ipv4Address::parse(Ipv4Address(ip).text());
        ASSERT_TRUE(p);
        EXPECT_EQ(p->bytes(), ip);
    }
}

}  // namespace
}  // namespace kavren::protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/textcodecs.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kavren::protocol {
namespace {

TEST(FormatText, MacIsTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(formatMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(formatMac({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}), "0A-0B-0C-0D-0E-0F");
    EXPECT_EQ(formatMac({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "FF-FF-FF-FF-FF-FF");
}

TEST(FormatText, DottedHasNoLeadingZeros) {
    EXPECT_EQ(formatDotted(Ipv4Bytes{0x0A, 0x00, 0x00, 0x01}), "10.0.0.1");
    EXPECT_EQ(formatDotted(Ipv4Bytes{0xC0, 0xA8, 0x00, 0x01}), "192.168.0.1");
    EXPECT_EQ(formatDotted(Ipv4Bytes{0xFF, 0xFF, 0xFF, 0x00}), "255.255.255.0");
    EXPECT_EQ(formatDotted(Ipv4Bytes{0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(formatRowNumber(1), "1");
    EXPECT_EQ(formatRowNumber(50000), "50000");
}

TEST(FormatText, FieldTextStopsAtTheFirstZero) {
    const std::uint8_t embedded[] = {'A', 'B', 0, 'C'};
    EXPECT_EQ(fieldText(embedded), "AB");
    const std::uint8_t full[] = {'x', 'y', 'z'};
    EXPECT_EQ(fieldText(full), "xyz");
    EXPECT_EQ(fieldText({}), "");
}

TEST(ParseMac, DecodesPairsAtFixedPositions) {
    const MacBytes expected = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(parseMac("00-1A-2B-3C-4D-5E"), expected);
    EXPECT_EQ(parseMac("00:1a:2b:3c:4d:5e"), expected);
    EXPECT_EQ(parseMac("001A2B3C4D5E"), (MacBytes{0x00, 0xA2, 0x3C, 0xD5, 0x00, 0x00}));
    EXPECT_EQ(parseMac(""), MacBytes{});
    EXPECT_EQ(decodeHexPair('G', '5'), 0x05);
    EXPECT_EQ(decodeHexPair('5', 'G'), 0x50);
    EXPECT_EQ(decodeHexPair('4', 'd'), 0x4D);
}

TEST(ParseMac, RoundTripsEveryFormattedMac) {
    for (int v = 0; v < 256; v += 17) {
        const auto b = static_cast<std::uint8_t>(v);
        const MacBytes mac = {b, static_cast<std::uint8_t>(255 - v), 0x0A, b, 0xF0, 0x01};
        EXPECT_EQ(parseMac(formatMac(mac)), mac);
    }
}

struct ParseCase {
    const char* text;
    bool valid;
    std::array<int, 4> values;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseIpv4 : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIpv4, JudgesTheText) {
    const ParseCase& c = GetParam();
    const Ipv4Parse result = parseIpv4(c.text);
    EXPECT_EQ(result.valid, c.valid) << '"' << c.text << '"';
    if (c.valid && result.valid) {
        EXPECT_EQ(result.values, c.values) << c.text;
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
    EXPECT_TRUE(parseIpv4(at31).valid);
    EXPECT_FALSE(parseIpv4(at32).valid);
    // Blanks do not count towards the limit.
    EXPECT_TRUE(parseIpv4("  " + at31 + "  ").valid);
}

TEST(ParseIpv4Bounds, RoundTripsFormattedAddresses) {
    const Ipv4Bytes samples[] = {
        {0, 0, 0, 0}, {255, 255, 255, 255}, {10, 0, 0, 1}, {192, 168, 100, 7}};
    for (const Ipv4Bytes& ip : samples) {
        const Ipv4Parse p = parseIpv4(formatDotted(ip));
        ASSERT_TRUE(p.valid);
        EXPECT_EQ(p.bytes(), ip);
    }
}

}  // namespace
}  // namespace kavren::protocol

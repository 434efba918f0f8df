// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/textcodecs.h"

#include <gtest/gtest.h>

#include <string>

namespace kavren::protocol {
namespace {

TEST(FormatText, MacIsTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(formatMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(formatMac({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}), "0A-0B-0C-0D-0E-0F");
    EXPECT_EQ(formatMac({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "FF-FF-FF-FF-FF-FF");
}

TEST(FormatText, RowNumberHasNoLeadingZeros) {
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

}  // namespace
}  // namespace kavren::protocol

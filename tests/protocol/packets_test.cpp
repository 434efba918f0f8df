// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/packets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavren::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes header(std::uint8_t kind, MacBytes mac = {0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF}) {
    Bytes b(kMagic.begin(), kMagic.end());
    b.push_back(0x00);
    b.push_back(kind);
    b.insert(b.end(), mac.begin(), mac.end());
    return b;
}

Bytes deviceInfo() {
    Bytes b = header(kKindDeviceInfo);
    b.resize(kInfoSize, 0);
    const std::uint8_t ip[] = {192, 168, 0, 100}, mask[] = {255, 255, 255, 0},
                       gw[] = {192, 168, 0, 1};
    std::copy(std::begin(ip), std::end(ip), b.begin() + 20);
    std::copy(std::begin(mask), std::end(mask), b.begin() + 24);
    std::copy(std::begin(gw), std::end(gw), b.begin() + 28);
    const std::string name = "Sensor-7", version = "v2.1", desc = "Hall B";
    std::copy(name.begin(), name.end(), b.begin() + 32);
    std::copy(version.begin(), version.end(), b.begin() + 64);
    std::copy(desc.begin(), desc.end(), b.begin() + 80);
    return b;
}

TEST(DiscoveryRequest, IsTheFixedSixteenBytes) {
    const Bytes expected = {'K',  'A',  'V',  'R',  'E',  'N',  'u',  't',
                            0x00, 0x16, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const DiscoveryRequest request = discoveryRequest();
    EXPECT_EQ(Bytes(request.begin(), request.end()), expected);
}

TEST(Recognise, ReadsEveryFieldOfADeviceInformationReply) {
    const Bytes b = deviceInfo();
    const Reply reply = recognise(b);
    const auto* info = std::get_if<DeviceInfoReply>(&reply);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->mac, (MacBytes{0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF}));
    EXPECT_EQ(info->ip, (Ipv4Bytes{192, 168, 0, 100}));
    EXPECT_EQ(info->mask, (Ipv4Bytes{255, 255, 255, 0}));
    EXPECT_EQ(info->gateway, (Ipv4Bytes{192, 168, 0, 1}));
    EXPECT_EQ(info->name, "Sensor-7");
    EXPECT_EQ(info->version, "v2.1");
    EXPECT_EQ(info->description, "Hall B");
}

TEST(Recognise, ReadsAResultMessage) {
    Bytes b = header(kKindResult);
    b.resize(kResultSize, 0);
    const std::string text = "Setting OK";
    std::copy(text.begin(), text.end(), b.begin() + 16);
    const Reply reply = recognise(b);
    const auto* result = std::get_if<ResultMessageReply>(&reply);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->text, "Setting OK");
    EXPECT_EQ(result->mac[5], 0xFF);
}

TEST(Recognise, IgnoresEveryMalformedHeader) {
    auto isIgnored = [](const Bytes& b) { return std::holds_alternative<NotAReply>(recognise(b)); };
    Bytes good = deviceInfo();
    ASSERT_FALSE(isIgnored(good));

    EXPECT_TRUE(isIgnored({}));
    EXPECT_TRUE(isIgnored(Bytes(good.begin(), good.begin() + 9)));  // shorter than the header

    Bytes nonZeroByte8 = good;  // "KAVRENut" then 0x01 0x70
    nonZeroByte8[8] = 0x01;
    EXPECT_TRUE(isIgnored(nonZeroByte8));

    Bytes swapped = good;  // opcode bytes the other way round
    swapped[8] = 0x70;
    swapped[9] = 0x00;
    EXPECT_TRUE(isIgnored(swapped));

    Bytes lowerCase = good;  // one letter differs in case
    lowerCase[0] = 'k';
    EXPECT_TRUE(isIgnored(lowerCase));

    for (const std::uint8_t kind :
         {kKindDiscovery, kKindConfig, std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        Bytes other = good;
        other[9] = kind;
        EXPECT_TRUE(isIgnored(other)) << int{kind};
    }
}

TEST(Recognise, ReadsOnlyTheRecordOfALongerDatagram) {
    Bytes b = deviceInfo();
    b.resize(200, 'X');  // trailing bytes would run on into the description if read
    const Reply reply = recognise(b);
    const auto* info = std::get_if<DeviceInfoReply>(&reply);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->description, "Hall B");
}

TEST(Recognise, TakesMissingBytesOfAShortReplyAsZero) {
    // Cut inside the version field: the name is whole, the version ends at
    // the cut, the description is empty. Nothing past the datagram is read
    // (the sanitizer builds catch a read past the vector).
    Bytes b = deviceInfo();
    b.resize(66);
    const Reply reply = recognise(b);
    const auto* info = std::get_if<DeviceInfoReply>(&reply);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, "Sensor-7");
    EXPECT_EQ(info->version, "v2");
    EXPECT_EQ(info->description, "");

    const Bytes headerOnly = header(kKindResult);
    const Reply result = recognise(headerOnly);
    ASSERT_TRUE(std::holds_alternative<ResultMessageReply>(result));
    EXPECT_EQ(std::get<ResultMessageReply>(result).text, "");
}

TEST(Recognise, AppliesTheTextRuleToFields) {
    Bytes full = deviceInfo();
    std::fill(full.begin() + 32, full.begin() + 64, 'N');  // 32 non-zero bytes, no terminator
    EXPECT_EQ(std::get<DeviceInfoReply>(recognise(full)).name, std::string(32, 'N'));
    // The version that follows must not run into the name.
    EXPECT_EQ(std::get<DeviceInfoReply>(recognise(full)).version, "v2.1");

    Bytes zeros = deviceInfo();
    std::fill(zeros.begin() + 32, zeros.begin() + 64, 0);
    EXPECT_EQ(std::get<DeviceInfoReply>(recognise(zeros)).name, "");

    Bytes embedded = deviceInfo();
    const std::uint8_t text[] = {'A', 'B', 0, 'C', 'D'};
    std::copy(std::begin(text), std::end(text), embedded.begin() + 32);
    EXPECT_EQ(std::get<DeviceInfoReply>(recognise(embedded)).name, "AB");

    Bytes high = deviceInfo();  // bytes above 0x7F arrive unchanged
    high[32] = 0xE9;
    high[33] = 0xFF;
    high[34] = 0;
    EXPECT_EQ(std::get<DeviceInfoReply>(recognise(high)).name, "\xE9\xFF");
}

TEST(Scramble, SwapsHalvesBelow0x80AndFillsWithOnesAbove) {
    EXPECT_EQ(scrambleByte(0x61), 0x16);
    EXPECT_EQ(scrambleByte(0x00), 0x00);
    EXPECT_EQ(scrambleByte(0x7F), 0xF7);
    EXPECT_EQ(scrambleByte(0xE9), 0xFE);
    EXPECT_EQ(scrambleByte(0x80), 0xF8);
    EXPECT_EQ(scrambleByte(0xFF), 0xFF);

    const ScrambledPassword abc = scramblePassword("abc");
    const ScrambledPassword expected = {0x16, 0x26, 0x36};
    EXPECT_EQ(abc, expected);

    const ScrambledPassword cut = scramblePassword("abcdefghijklmnopqrst");  // 20 characters
    EXPECT_EQ(cut, scramblePassword("abcdefghijklmnop"));
    EXPECT_EQ(cut[15], scrambleByte('p'));
}

ConfigFields sampleFields() {
    ConfigFields f;
    f.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    f.ip = {10, 0, 0, 1};
    f.mask = {255, 255, 255, 0};
    f.gateway = {10, 0, 0, 254};
    f.description = "Line 3";
    f.currentPassword = "abc";
    f.newPassword = "";
    return f;
}

TEST(ConfigRequest, LaysOutEveryFieldByteForByte) {
    const ConfigRequest r = buildConfigRequest(sampleFields());
    Bytes expected(kConfigSize, 0);
    const Bytes head = header(kKindConfig, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    std::copy(head.begin(), head.end(), expected.begin());
    const std::uint8_t addresses[] = {10, 0, 0, 1, 255, 255, 255, 0, 10, 0, 0, 254};
    std::copy(std::begin(addresses), std::end(addresses), expected.begin() + 20);
    const std::string desc = "Line 3";
    std::copy(desc.begin(), desc.end(), expected.begin() + 32);
    expected[64] = 0x16;
    expected[65] = 0x26;
    expected[66] = 0x36;
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);
}

TEST(ConfigRequest, CutsLongTextsAtTheirFields) {
    ConfigFields f = sampleFields();
    f.description = std::string(40, 'D');
    f.currentPassword = std::string(20, 'p');
    f.newPassword = std::string(20, 'q');
    const ConfigRequest r = buildConfigRequest(f);
    ASSERT_EQ(r.size(), 98u);
    for (std::size_t i = 32; i < 64; ++i)
        EXPECT_EQ(r[i], 'D') << i;
    EXPECT_EQ(r[64], scrambleByte('p'));  // the first byte of CurrentPassword
    EXPECT_EQ(r[79], scrambleByte('p'));
    EXPECT_EQ(r[80], scrambleByte('q'));
    EXPECT_EQ(r[95], scrambleByte('q'));
    for (const std::size_t i : {16u, 17u, 18u, 19u, 96u, 97u})
        EXPECT_EQ(r[i], 0) << i;
}

TEST(ConfigRequest, CopiesPercentSignsAndHighBytesVerbatim) {
    ConfigFields f = sampleFields();
    f.description = "50%s %d %n\xE9";
    const ConfigRequest r = buildConfigRequest(f);
    EXPECT_EQ(std::string(r.begin() + 32, r.begin() + 32 + f.description.size()), f.description);
    EXPECT_EQ(r[32 + f.description.size()], 0);
}

TEST(ConfigRequest, EmptyNewPasswordGivesSixteenZeroBytes) {
    const ConfigRequest r = buildConfigRequest(sampleFields());
    for (std::size_t i = 80; i < 96; ++i)
        EXPECT_EQ(r[i], 0) << i;
}

}  // namespace
}  // namespace kavren::protocol

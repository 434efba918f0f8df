// SPDX-License-Identifier: GPL-3.0-or-later
// Reply datagrams as a device sends them, built from named fields. The
// offsets are written out here as the device lays them down rather than
// taken from protocol/packets.h, so a wrong constant there cannot hide in
// both the parser and the tests that feed it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kavren::testsupport {

// The fields of a device information reply; texts longer than their field
// are cut, shorter ones are padded with zero bytes.
struct DeviceTexts {
    std::array<std::uint8_t, 6> mac{};
    std::string name{};
    std::string version{};
    std::string description{};
    std::array<std::uint8_t, 4> ip{}, mask{}, gateway{};
};

// 112 bytes: magic, 0x00 0x70, MAC, addresses at 20/24/28, name at 32 (32
// bytes), version at 64 (16), description at 80 (32).
std::vector<std::uint8_t> infoReply(const DeviceTexts& device);

// 48 bytes: magic, 0x00 0x30, MAC, the result text at 16 (32 bytes).
std::vector<std::uint8_t> resultReply(const std::array<std::uint8_t, 6>& mac,
                                      const std::string& text);

}  // namespace kavren::testsupport

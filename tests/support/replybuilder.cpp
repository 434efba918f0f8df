// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/replybuilder.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kavren::testsupport {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes header(std::size_t size, std::uint8_t kind, const std::array<std::uint8_t, 6>& mac) {
    constexpr std::string_view magic = "KAVRENut";
    Bytes bytes(size, 0);
    std::ranges::copy(magic, bytes.begin());
    bytes[9] = kind;
    std::ranges::copy(mac, bytes.begin() + 10);
    return bytes;
}

void putText(Bytes& bytes, std::ptrdiff_t offset, std::size_t width, const std::string& text) {
    std::copy_n(text.begin(), std::min(width, text.size()), bytes.begin() + offset);
}

void putIp(Bytes& bytes, std::ptrdiff_t offset, const std::array<std::uint8_t, 4>& ip) {
    std::ranges::copy(ip, bytes.begin() + offset);
}

}  // namespace

Bytes infoReply(const DeviceTexts& device) {
    Bytes bytes = header(112, 0x70, device.mac);
    putIp(bytes, 20, device.ip);
    putIp(bytes, 24, device.mask);
    putIp(bytes, 28, device.gateway);
    putText(bytes, 32, 32, device.name);
    putText(bytes, 64, 16, device.version);
    putText(bytes, 80, 32, device.description);
    return bytes;
}

Bytes resultReply(const std::array<std::uint8_t, 6>& mac, const std::string& text) {
    Bytes bytes = header(48, 0x30, mac);
    putText(bytes, 16, 32, text);
    return bytes;
}

}  // namespace kavren::testsupport

// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration request over arbitrary row texts and passwords: always 98
// bytes with the fixed header and zero reserved bytes, texts cut at their
// fields, passwords scrambled byte by byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"

namespace {

// Splits the input at 0x1F bytes into up to seven texts.
std::string_view take(std::string_view& rest) {
    const std::size_t cut = rest.find('\x1F');
    const std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavren;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    protocol::ConfigFields f;
    f.mac = protocol::parseMac(take(rest));
    auto address = [](std::string_view text) {
        return protocol::Ipv4Address::parse(text).value_or(protocol::Ipv4Address()).bytes();
    };
    f.ip = address(take(rest));
    f.mask = address(take(rest));
    f.gateway = address(take(rest));
    f.description = std::string(take(rest));
    f.currentPassword = std::string(take(rest));
    f.newPassword = std::string(take(rest));

    const protocol::ConfigRequest r = protocol::buildConfigRequest(f);
    static_assert(std::tuple_size_v<protocol::ConfigRequest> == 98);
    if (std::string_view(reinterpret_cast<const char*>(r.data()), 8) != "KAVRENut")
        std::abort();
    if (r[8] != 0x00 || r[9] != 0x90)
        std::abort();
    for (const std::size_t i : {16u, 17u, 18u, 19u, 96u, 97u}) {
        if (r[i] != 0)
            std::abort();
    }
    for (std::size_t i = 0; i < 6; ++i) {
        if (r[10 + i] != f.mac[i])
            std::abort();
    }
    for (std::size_t i = 0; i < 32; ++i) {
        const std::uint8_t expected =
            i < f.description.size() ? static_cast<std::uint8_t>(f.description[i]) : 0;
        if (r[32 + i] != expected)
            std::abort();
    }
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint8_t cur =
            i < f.currentPassword.size() ? static_cast<std::uint8_t>(f.currentPassword[i]) : 0;
        const std::uint8_t nxt =
            i < f.newPassword.size() ? static_cast<std::uint8_t>(f.newPassword[i]) : 0;
        if (r[64 + i] != protocol::scrambleByte(cur) || r[80 + i] != protocol::scrambleByte(nxt))
            std::abort();
    }
    return 0;
}

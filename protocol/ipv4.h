// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/bytes.h"

namespace kavren::protocol {

// An IPv4 address as a value: what a reply carries, what a socket binds to
// and sends to, what a plan names. Texts exist only where a person reads or
// types an address, through parse() and text(), the one pair of both.
class Ipv4Address final {
public:
    constexpr Ipv4Address() = default;  // 0.0.0.0: every local address
    constexpr explicit Ipv4Address(std::uint32_t hostOrder) : m_value(hostOrder) {}
    constexpr explicit Ipv4Address(const Ipv4Bytes& b)
        : m_value((std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                  (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]}) {}

    // Host order: the first byte on the wire is the highest.
    constexpr std::uint32_t value() const { return m_value; }
    constexpr Ipv4Bytes bytes() const {
        return {static_cast<std::uint8_t>(m_value >> 24), static_cast<std::uint8_t>(m_value >> 16),
                static_cast<std::uint8_t>(m_value >> 8), static_cast<std::uint8_t>(m_value)};
    }
    constexpr bool isAny() const { return m_value == 0; }

    // "192.168.0.1": decimal numbers without leading zeros, joined by ".".
    std::string text() const;
    // Four decimal parts joined by exactly three dots, each 0 to 255 with
    // leading zeros allowed. Blanks (spaces, tabs) around a part are ignored;
    // any other character, or a blank inside a number, makes the text
    // invalid, so a typed "192.168.1.1/24" is refused instead of becoming a
    // different address.
    static std::optional<Ipv4Address> parse(std::string_view text);

    friend constexpr bool operator==(Ipv4Address a, Ipv4Address b) {
        return a.m_value == b.m_value;
    }
    // Numeric order, for ordered containers.
    friend constexpr bool operator<(Ipv4Address a, Ipv4Address b) { return a.m_value < b.m_value; }

private:
    std::uint32_t m_value = 0;
};

// Every host on the segment.
inline constexpr Ipv4Address kLimitedBroadcast{0xFFFFFFFFU};

}  // namespace kavren::protocol

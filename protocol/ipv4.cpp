// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/ipv4.h"

#include <array>
#include <charconv>

namespace kavren::protocol {

namespace {

// Digits and dots beyond this many make a text invalid, whatever its value.
constexpr std::size_t kMaxWorkingText = 31;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

// Written into one buffer with std::to_chars: it runs for every address a
// person is shown, so it stays free of temporary strings.
std::string Ipv4Address::text() const {
    std::array<char, 16> buffer{};
    char* out = buffer.data();
    char* const end = buffer.data() + buffer.size();
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24)
            *out++ = '.';
        out = std::to_chars(out, end, (m_value >> shift) & 0xFFU).ptr;
    }
    return std::string(buffer.data(), out);
}

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text) {
    std::size_t working = 0;  // digits and dots seen
    std::size_t part = 0;
    std::uint32_t result = 0;
    std::uint32_t value = 0;
    bool digitsInPart = false;
    bool partClosed = false;  // blanks followed the digits of this part

    for (const char c : text) {
        if (isDigit(c)) {
            if (partClosed)
                return std::nullopt;  // a blank inside a number
            digitsInPart = true;
            // Any number of leading zeros may come; cap the value so a long
            // run of digits cannot overflow before the range check.
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
            if (value > 255)
                value = 256;
            ++working;
        } else if (c == '.') {
            if (!digitsInPart || part == 3 || value > 255)
                return std::nullopt;
            result = (result << 8) | value;
            ++part;
            value = 0;
            digitsInPart = false;
            partClosed = false;
            ++working;
        } else if (isBlank(c)) {
            if (digitsInPart)
                partClosed = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digitsInPart || part != 3 || working > kMaxWorkingText || value > 255)
        return std::nullopt;
    return Ipv4Address((result << 8) | value);
}

}  // namespace kavren::protocol

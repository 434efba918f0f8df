// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/textcodecs.h"

#include <charconv>

namespace kavren::protocol {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Digits and dots beyond this many make a text invalid, whatever its value.
constexpr std::size_t kMaxWorkingText = 31;

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string formatMac(const MacBytes& mac) {
    std::string out;
    out.reserve(17);
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i != 0)
            out.push_back('-');
        out.push_back(kHexDigits[mac[i] >> 4]);
        out.push_back(kHexDigits[mac[i] & 0x0F]);
    }
    return out;
}

std::string formatDotted(const Ipv4Bytes& ip) {
    return formatDotted(std::array<int, 4>{ip[0], ip[1], ip[2], ip[3]});
}

// Written into one buffer with std::to_chars: three of these run for every
// device that answers, so they stay free of temporary strings.
std::string formatDotted(const std::array<int, 4>& values) {
    // Four numbers of up to eleven characters each, with their dots.
    std::array<char, 48> buffer{};
    char* out = buffer.data();
    char* const end = buffer.data() + buffer.size();
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0)
            *out++ = '.';
        out = std::to_chars(out, end, values[i]).ptr;
    }
    return std::string(buffer.data(), out);
}

std::string formatRowNumber(int row) {
    std::array<char, 12> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), row);
    return std::string(buffer.data(), result.ptr);
}

std::string fieldText(std::span<const std::uint8_t> field) {
    return ByteReader(field).text(0, field.size());
}

std::optional<std::string> latin1FromUtf8(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        if (lead < 0x80) {
            bytes.push_back(static_cast<char>(lead));
            continue;
        }
        // Only C2 and C3 lead bytes encode U+0080 to U+00FF; any other lead
        // is a character beyond Latin-1 or no UTF-8 at all.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= utf8.size())
            return std::nullopt;
        const auto next = static_cast<std::uint8_t>(utf8[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        bytes.push_back(static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F)));
    }
    return bytes;
}

std::uint8_t decodeHexPair(char upper, char lower) {
    return static_cast<std::uint8_t>(16 * hexValue(upper) + hexValue(lower));
}

MacBytes parseMac(std::string_view text) {
    MacBytes mac{};
    auto at = [&](std::size_t pos) { return pos < text.size() ? text[pos] : '\0'; };
    for (std::size_t k = 0; k < mac.size(); ++k)
        mac[k] = decodeHexPair(at(3 * k), at(3 * k + 1));
    return mac;
}

Ipv4Bytes Ipv4Parse::bytes() const {
    return {static_cast<std::uint8_t>(values[0]), static_cast<std::uint8_t>(values[1]),
            static_cast<std::uint8_t>(values[2]), static_cast<std::uint8_t>(values[3])};
}

Ipv4Parse parseIpv4(std::string_view text) {
    Ipv4Parse result;
    std::size_t working = 0;  // digits and dots seen
    std::size_t part = 0;
    int value = 0;
    bool digitsInPart = false;
    bool partClosed = false;  // blanks followed the digits of this part

    for (const char c : text) {
        if (isDigit(c)) {
            if (partClosed)
                return {};  // a blank inside a number
            digitsInPart = true;
            // Any number of leading zeros may come; cap the value so a long
            // run of digits cannot overflow before the range check.
            value = value * 10 + (c - '0');
            if (value > 255)
                value = 256;
            ++working;
        } else if (c == '.') {
            if (!digitsInPart || part == 3)
                return {};
            result.values[part++] = value;
            value = 0;
            digitsInPart = false;
            partClosed = false;
            ++working;
        } else if (isBlank(c)) {
            if (digitsInPart)
                partClosed = true;
        } else {
            return {};
        }
    }
    if (!digitsInPart || part != 3 || working > kMaxWorkingText)
        return {};
    result.values[3] = value;
    for (const int v : result.values) {
        if (v > 255)
            return {};
    }
    result.valid = true;
    return result;
}

std::optional<std::uint32_t> ipv4Value(std::string_view text) {
    const Ipv4Parse parsed = parseIpv4(text);
    if (!parsed.valid)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const int part : parsed.values)
        value = (value << 8) | static_cast<std::uint32_t>(part);
    return value;
}

std::string ipv4Text(std::uint32_t value) {
    return formatDotted(std::array<int, 4>{
        static_cast<int>((value >> 24) & 0xFFU), static_cast<int>((value >> 16) & 0xFFU),
        static_cast<int>((value >> 8) & 0xFFU), static_cast<int>(value & 0xFFU)});
}

}  // namespace kavren::protocol

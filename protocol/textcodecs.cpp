// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/textcodecs.h"

#include <charconv>

namespace kavren::protocol {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
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

}  // namespace kavren::protocol

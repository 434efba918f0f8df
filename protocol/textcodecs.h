// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/bytes.h"

// Text forms of the values a device reports, as the grid shows them, and the
// parsers that turn a row's texts back into packet bytes (addresses have
// theirs in ipv4.h). Texts are 8-bit byte strings; nothing here converts a
// character set.
namespace kavren::protocol {

// "00-1A-2B-3C-4D-5E": two upper-case hex digits per byte, joined by "-".
std::string formatMac(const MacBytes& mac);
std::string formatRowNumber(int row);
// The bytes of a text field before its first zero byte.
std::string fieldText(std::span<const std::uint8_t> field);

// '0'-'9', 'a'-'f', 'A'-'F' give their value; any other character gives 0.
std::uint8_t decodeHexPair(char upper, char lower);
// Byte k comes from the characters at 3k and 3k+1; separators are not looked
// at, and positions past the end count as 0. It cannot fail.
MacBytes parseMac(std::string_view text);

// A device's 8-bit text is Latin-1: each byte is the character of that code.
// The text of a UTF-8 string as such bytes, the one conversion every password
// and plan text goes through on its way to a device; nothing when the UTF-8
// is malformed or a character lies beyond U+00FF, so such a text is refused
// rather than changed.
std::optional<std::string> latin1FromUtf8(std::string_view utf8);

}  // namespace kavren::protocol

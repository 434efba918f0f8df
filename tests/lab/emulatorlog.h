// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavren::lab {

// One datagram that reached the emulator, as its log line records it.
struct LoggedDatagram {
    double time = 0.0;   // seconds since the epoch
    std::string source;  // dotted sender address
    std::uint16_t sourcePort = 0;
    std::string destination;  // dotted destination address, empty if unknown
    std::uint16_t destinationPort = 0;
    std::string kind;   // discovery, config, device_info, result, other
    std::string bytes;  // the exact payload
};

// Reads one line of the emulator's log. The emulator writes a flat JSON
// object with a fixed set of keys and no escaped characters, which is all
// this reader understands. Yields nothing for a line it cannot read.
std::optional<LoggedDatagram> parseLogLine(std::string_view line);

// Every readable line of a log file, in order.
std::vector<LoggedDatagram> readLog(const std::string& path);

// Lower-case hexadecimal form of bytes, for messages and comparisons.
std::string toHex(std::string_view bytes);

}  // namespace kavren::lab

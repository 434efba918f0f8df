// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lab/emulatorlog.h"

#include <charconv>
#include <fstream>

namespace kavren::lab {
namespace {

// The raw text of the value of "key" in a flat object: the characters of a
// string without its quotes, or of a number.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view key) {
    const std::string pattern = "\"" + std::string(key) + "\":";
    const std::size_t at = line.find(pattern);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(at + pattern.size());
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t end = rest.find('"', 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        return rest.substr(1, end - 1);
    }
    const std::size_t end = rest.find_first_of(",}");
    if (end == std::string_view::npos || end == 0) {
        return std::nullopt;
    }
    return rest.substr(0, end);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

bool toPort(std::string_view text, std::uint16_t* port) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *port);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<LoggedDatagram> parseLogLine(std::string_view line) {
    // A line that the emulator is still writing has no closing brace yet.
    if (line.empty() || line.back() != '}') {
        return std::nullopt;
    }
    const auto time = valueOf(line, "t");
    const auto src = valueOf(line, "src");
    const auto sport = valueOf(line, "sport");
    const auto dst = valueOf(line, "dst");
    const auto dport = valueOf(line, "dport");
    const auto kind = valueOf(line, "kind");
    const auto hex = valueOf(line, "hex");
    if (!time || !src || !sport || !dst || !dport || !kind || !hex) {
        return std::nullopt;
    }
    LoggedDatagram record;
    // The time is informative only; a malformed one reads as zero.
    record.time = std::strtod(std::string(*time).c_str(), nullptr);
    record.source = std::string(*src);
    record.destination = std::string(*dst);
    record.kind = std::string(*kind);
    if (!toPort(*sport, &record.sourcePort) || !toPort(*dport, &record.destinationPort)) {
        return std::nullopt;
    }
    auto bytes = fromHex(*hex);
    if (!bytes) {
        return std::nullopt;
    }
    record.bytes = std::move(*bytes);
    return record;
}

std::vector<LoggedDatagram> readLog(const std::string& path) {
    std::vector<LoggedDatagram> records;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (auto record = parseLogLine(line)) {
            records.push_back(std::move(*record));
        }
    }
    return records;
}

std::string toHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 0x0F]);
    }
    return hex;
}

}  // namespace kavren::lab

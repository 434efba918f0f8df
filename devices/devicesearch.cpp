#include "devices/devicesearch.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "devices/devicegrid.h"

namespace kavren {

namespace {

// Latin-1 lower case: A-Z and the accented capitals 0xC0-0xDE (0xD7 is the
// multiplication sign). A table, since the search folds every byte it reads.
constexpr std::array<char, 256> kFold = [] {
    std::array<char, 256> fold{};
    for (int c = 0; c < 256; ++c) {
        int lower = c;
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            lower = c + 0x20;
        fold[static_cast<std::size_t>(c)] = static_cast<char>(static_cast<std::uint8_t>(lower));
    }
    return fold;
}();

char fold(char c) {
    return kFold[static_cast<std::uint8_t>(c)];
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
}

constexpr std::array kSearchedColumns = {DeviceGrid::ColMac, DeviceGrid::ColName,
                                         DeviceGrid::ColVersion, DeviceGrid::ColDeviceIp,
                                         DeviceGrid::ColDescription};

}  // namespace

DeviceSearch::DeviceSearch(std::string_view text) {
    m_folded.reserve(text.size());
    for (const char c : text)
        m_folded.push_back(fold(c));
    // Only hex digits and the separators people write between them. Not the
    // dot: a text with dots is nearly always part of an address, and "0.1"
    // would otherwise find every MAC holding "01".
    bool macPiece = !text.empty();
    for (const char c : text) {
        if (isHexDigit(c)) {
            m_macDigits.push_back(upper(c));
        } else if (c != '-' && c != ':' && c != ' ') {
            macPiece = false;
            break;
        }
    }
    if (!macPiece)
        m_macDigits.clear();
}

bool DeviceSearch::contains(std::string_view text) const {
    const std::size_t n = m_folded.size();
    if (n > text.size())
        return false;
    const char first = m_folded.front();
    const std::size_t last = text.size() - n;
    for (std::size_t i = 0; i <= last; ++i) {
        if (fold(text[i]) != first)
            continue;
        std::size_t k = 1;
        while (k < n && fold(text[i + k]) == m_folded[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

bool DeviceSearch::macDigitsContain(std::string_view mac) const {
    if (m_macDigits.empty())
        return false;
    // A MAC text is 17 characters; anything longer was not written by the
    // program and is searched as text only.
    std::array<char, 32> digits{};
    std::size_t count = 0;
    for (const char c : mac) {
        if (isHexDigit(c)) {
            if (count == digits.size())
                return false;
            digits[count++] = upper(c);
        }
    }
    const std::string_view haystack(digits.data(), count);
    return haystack.find(m_macDigits) != std::string_view::npos;
}

bool DeviceSearch::matches(const DeviceGrid& grid, int row) const {
    if (empty() || !grid.isDeviceRow(row) || row >= grid.rowCount() - 1)
        return false;
    for (const int col : kSearchedColumns) {
        if (contains(grid.cell(col, row)))
            return true;
    }
    return macDigitsContain(grid.cell(DeviceGrid::ColMac, row));
}

std::optional<DeviceSearch::Hit> DeviceSearch::find(const DeviceGrid& grid, int start,
                                                    Direction direction) const {
    const int count = grid.deviceRowCount();
    if (empty() || count <= 0)
        return std::nullopt;
    const bool forward = direction == Direction::Forward;
    // Stepping on from the last row (or back from the first) goes round.
    const bool startWrapped = forward ? start > count : start < 1;
    if (start < 1 || start > count)
        start = forward ? 1 : count;
    for (int step = 0; step < count; ++step) {
        int row = forward ? start + step : start - step;
        const bool wrapped = startWrapped || row > count || row < 1;
        if (row > count)
            row -= count;
        else if (row < 1)
            row += count;
        if (matches(grid, row))
            return Hit{row, wrapped};
    }
    return std::nullopt;
}

}  // namespace kavren

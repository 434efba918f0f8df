// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicesearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "devices/devicelist.h"

namespace kavren::devices {

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

constexpr std::array kSearchedFields = {DeviceField::Mac, DeviceField::Name, DeviceField::Version,
                                        DeviceField::DeviceIp, DeviceField::Description};

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
            m_macDigits.push_back(fold(c));
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
    // A MAC text as the program writes it (17 characters, two digits then a
    // separator) is matched in place: digit k sits at 3*(k/2) + k%2. This
    // spares copying the digits of every row.
    constexpr std::size_t kMacText = 17;
    constexpr std::size_t kMacDigits = 12;
    if (mac.size() == kMacText) {
        const std::size_t n = m_macDigits.size();
        if (n > kMacDigits)
            return false;
        const auto at = [&mac](std::size_t k) { return fold(mac[3 * (k / 2) + k % 2]); };
        for (std::size_t start = 0; start + n <= kMacDigits; ++start) {
            std::size_t j = 0;
            while (j < n && at(start + j) == m_macDigits[j])
                ++j;
            if (j == n)
                return true;
        }
        return false;
    }
    // A MAC text is 17 characters; anything longer was not written by the
    // program and is searched as text only.
    std::array<char, 32> digits{};
    std::size_t count = 0;
    for (const char c : mac) {
        if (isHexDigit(c)) {
            if (count == digits.size())
                return false;
            digits[count++] = fold(c);
        }
    }
    const std::string_view haystack(digits.data(), count);
    return haystack.find(m_macDigits) != std::string_view::npos;
}

bool DeviceSearch::matches(const DeviceList& devices, int row) const {
    if (empty() || !devices.contains(row))
        return false;
    for (const DeviceField field : kSearchedFields) {
        if (contains(devices.field(field, row)))
            return true;
    }
    return macDigitsContain(devices.field(DeviceField::Mac, row));
}

namespace {

struct SearchBegin {
    int row;
    bool wrapped;
};

// Where a search over rows 1..count begins. Stepping on from the last row
// (or back from the first) goes round: a start beyond them begins at the
// first (or the last) row and counts as having gone round already.
SearchBegin beginAt(int count, int start, bool forward) {
    const bool wrapped = forward ? start > count : start < 1;
    if (start < 1 || start > count)
        start = forward ? 1 : count;
    return {start, wrapped};
}

}  // namespace

template <class Matches>
std::optional<DeviceSearch::Hit> DeviceSearch::findIn(int count, int start, Direction direction,
                                                      const Matches& matches) const {
    if (empty() || count <= 0)
        return std::nullopt;
    const bool forward = direction == Direction::Forward;
    const auto [first, startWrapped] = beginAt(count, start, forward);
    start = first;
    for (int step = 0; step < count; ++step) {
        int row = forward ? start + step : start - step;
        const bool wrapped = startWrapped || row > count || row < 1;
        if (row > count)
            row -= count;
        else if (row < 1)
            row += count;
        if (matches(row))
            return Hit{row, wrapped};
    }
    return std::nullopt;
}

std::optional<DeviceSearch::Hit> DeviceSearch::find(const DeviceList& devices, int start,
                                                    Direction direction) const {
    return findIn(devices.size(), start, direction, [&](int row) { return matches(devices, row); });
}

std::optional<DeviceSearch::Hit> DeviceSearch::find(const DeviceSearchIndex& index, int start,
                                                    Direction direction) const {
    const int count = index.rowCount();
    if (empty() || count <= 0)
        return std::nullopt;
    const bool forward = direction == Direction::Forward;
    const auto [begin, startWrapped] = beginAt(count, start, forward);
    start = begin;
    // The buffer is searched in one sweep per stretch of rows: first from
    // the start row on (or back), then the rest, which is going round.
    const auto inRows = [&](int first, int last) -> std::optional<int> {
        if (first > last)
            return std::nullopt;
        std::optional<int> best;
        const auto better = [&](std::optional<int> row) {
            if (row && (!best || (forward ? *row < *best : *row > *best)))
                best = row;
        };
        // The folded text anywhere: a hit in the digits field is a MAC
        // piece written without separators, which counts as well.
        better(index.search(m_folded, first, last, forward, false));
        if (!m_macDigits.empty() && m_macDigits != m_folded)
            better(index.search(m_macDigits, first, last, forward, true));
        return best;
    };
    if (forward) {
        if (const auto row = inRows(start, count))
            return Hit{*row, startWrapped};
        if (const auto row = inRows(1, start - 1))
            return Hit{*row, true};
    } else {
        if (const auto row = inRows(1, start))
            return Hit{*row, startWrapped};
        if (const auto row = inRows(start + 1, count))
            return Hit{*row, true};
    }
    return std::nullopt;
}

std::optional<int> DeviceSearchIndex::search(std::string_view needle, int first, int last,
                                             bool forward, bool digitsOnly) const {
    const std::string_view text(m_text);
    std::size_t from = m_starts[static_cast<std::size_t>(first - 1)];
    std::size_t to = m_starts[static_cast<std::size_t>(last)];
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    while (from < to && needle.size() <= to - from) {
        const std::string_view stretch = text.substr(from, to - from);
        std::size_t found = std::string_view::npos;
        if (forward) {
            // Horspool skips ahead by the needle's length where it can: a
            // MAC piece starts with digits that the addresses and versions
            // hold everywhere, and a first-byte scan would stop at each.
            const auto hit = std::search(stretch.begin(), stretch.end(), searcher);
            if (hit != stretch.end())
                found = static_cast<std::size_t>(hit - stretch.begin());
        } else {
            found = stretch.rfind(needle);
        }
        if (found == std::string_view::npos)
            return std::nullopt;
        const std::size_t at = from + found;
        const auto next = std::upper_bound(m_starts.begin(), m_starts.end(), at);
        const int row = static_cast<int>(next - m_starts.begin());
        if (!digitsOnly)
            return row;
        // The digits field runs from the row's start to its first zero byte.
        const std::size_t digitsEnd = text.find('\0', m_starts[static_cast<std::size_t>(row - 1)]);
        if (at + needle.size() <= digitsEnd)
            return row;
        if (forward)
            from = at + 1;
        else
            to = at + needle.size() - 1;
    }
    return std::nullopt;
}

void DeviceSearchIndex::update(const DeviceList& devices) {
    if (devices.searchedChanges() != m_listChanges || rowCount() > devices.size()) {
        m_listChanges = devices.searchedChanges();
        m_text.clear();
        m_starts.assign(1, 0);
    }
    const int rows = devices.size();
    if (rows <= rowCount())
        return;
    // Grown once for the rows to come (texts of a typical row), so that a
    // burst's worth of rows is added without copying the buffer again.
    constexpr std::size_t kTypicalRowText = 96;
    m_text.reserve(m_text.size() + static_cast<std::size_t>(rows - rowCount()) * kTypicalRowText);
    m_starts.reserve(static_cast<std::size_t>(rows) + 1);
    for (int row = rowCount() + 1; row <= rows; ++row)
        appendRow(devices, row);
}

void DeviceSearchIndex::appendRow(const DeviceList& devices, int row) {
    const ListedDevice& device = devices.device(row);
    for (const char c : device.mac) {
        if (isHexDigit(c))
            m_text.push_back(fold(c));
    }
    m_text.push_back('\0');
    for (const DeviceField field : kSearchedFields) {
        const std::string text = devices.field(field, row);
        const std::size_t at = m_text.size();
        m_text.resize(at + text.size() + 1);
        char* out = m_text.data() + at;
        for (const char c : text)
            *out++ = fold(c);
        *out = '\0';
    }
    m_starts.push_back(static_cast<std::uint32_t>(m_text.size()));
}

std::string_view DeviceSearchIndex::rowText(int row) const {
    if (row < 1 || row > rowCount())
        return {};
    const auto begin = m_starts[static_cast<std::size_t>(row - 1)];
    const auto end = m_starts[static_cast<std::size_t>(row)];
    return std::string_view(m_text).substr(begin, end - begin);
}

}  // namespace kavren::devices

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavren::devices {

class DeviceList;

// The searched texts of every listed device, case-folded, one after the other
// in one buffer. Reading the devices' texts means several scattered cache
// misses per device; at 50,000 devices that alone takes longer than a frame
// on a busy machine, while this buffer is read in one sweep. Devices appended
// since the last update are added to it; any other change of a searched
// field rebuilds it at the next update. Row r is device r of the list.
class DeviceSearchIndex final {
public:
    void update(const DeviceList& devices);
    int rowCount() const { return static_cast<int>(m_starts.size()) - 1; }
    // Row `row` (1-based): its MAC's hex digits, then MAC, name, version,
    // DeviceIP and description, each folded and ended by a zero byte.
    std::string_view rowText(int row) const;
    // The row of the first (forward) or last hit of `needle` in rows
    // `first` to `last`; with `digitsOnly`, only hits within a MAC's digits.
    std::optional<int> search(std::string_view needle, int first, int last, bool forward,
                              bool digitsOnly) const;

private:
    void appendRow(const DeviceList& devices, int row);

    std::string m_text;
    std::vector<std::uint32_t> m_starts{0};  // row r starts at m_starts[r - 1]
    std::uint64_t m_listChanges = ~std::uint64_t{0};
};

// Finds device rows by part of what identifies them: the MAC, name, version,
// DeviceIP or description text contains the search text, ignoring case
// (Latin-1 letters included, since device texts are read as Latin-1). A MAC
// is also found by its hex digits alone (with "-", ":" or blanks between
// them or not), so "024b56" and "02:4B:56" find
// "02-4B-56-00-00-05".
class DeviceSearch final {
public:
    enum class Direction { Forward, Backward };

    struct Hit {
        int row = 0;
        bool wrapped = false;  // the search went past the last (or first) row
    };

    explicit DeviceSearch(std::string_view text);

    bool empty() const { return m_folded.empty(); }
    bool matches(const DeviceList& devices, int row) const;
    // The first matching device row from `start` (included) in `direction`,
    // going round past the end once. A start past the last row (forward) or
    // before the first (backward) goes round at once; a start beyond the
    // other end begins at that end. nullopt: no row matches.
    std::optional<Hit> find(const DeviceList& devices, int start, Direction direction) const;
    // The same over an index that is up to date with the list.
    std::optional<Hit> find(const DeviceSearchIndex& index, int start, Direction direction) const;

private:
    bool contains(std::string_view text) const;
    bool macDigitsContain(std::string_view mac) const;
    template <class Matches>
    std::optional<Hit> findIn(int count, int start, Direction direction,
                              const Matches& matches) const;

    std::string m_folded;     // the text, case-folded
    std::string m_macDigits;  // its hex digits folded, when it is a piece of a MAC
};

}  // namespace kavren::devices

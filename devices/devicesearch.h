#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavren {

class DeviceGrid;

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
    bool matches(const DeviceGrid& grid, int row) const;
    // The first matching device row from `start` (included) in `direction`,
    // going round past the end once. A start past the last row (forward) or
    // before the first (backward) goes round at once; a start beyond the
    // other end begins at that end. nullopt: no row matches.
    std::optional<Hit> find(const DeviceGrid& grid, int start, Direction direction) const;

private:
    bool contains(std::string_view text) const;
    bool macDigitsContain(std::string_view mac) const;

    std::string m_folded;     // the text, case-folded
    std::string m_macDigits;  // its hex digits upper-cased, when it is a piece of a MAC
};

}  // namespace kavren

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kavren::devices {

// Which devices report which IPv4 address, so that the window can mark two
// devices answering from one address (devices that all left the factory with
// the same default address) without walking the list. DeviceList keeps it
// true as devices are appended, edited and cleared; each change costs one
// hash lookup. A row is a device's number in the list.
//
// Two kinds of entries: the address a device reports (its DeviceIP), and an
// address typed as the one a device is to take (its IP Address) when it
// differs from what the device reports. Only the first kind makes a conflict;
// the second is looked up against it. Addresses are compared by value, so a
// typed " 10.0.0.01" meets a reported "10.0.0.1".
class AddressIndex final {
public:
    explicit AddressIndex(std::size_t expectedRows = 0);

    // A device row joins or leaves the index with the texts of its DeviceIP
    // and IP Address cells. Texts that are no address are left out.
    void insertRow(int row, std::string_view deviceIp, std::string_view newIp);
    void eraseRow(int row, std::string_view deviceIp, std::string_view newIp);
    void clear();

    // Device rows other than `exceptRow` that report `address`, lowest first;
    // empty when `address` is no address.
    std::vector<int> rowsReporting(std::string_view address, int exceptRow) const;
    bool reportedByOther(std::string_view address, int exceptRow) const;

    // Rows whose marks changed because another row came or went (the row
    // being inserted or erased is not among them: its own change is known to
    // whoever made it). Each call hands over what gathered since the last.
    std::vector<int> takeChangedRows();
    // Off: nothing is gathered (a list that nobody shows).
    void collectChanges(bool on);

    // The address value of a text, as the update would send it.
    static std::optional<std::uint32_t> addressValue(std::string_view text);

private:
    // Rows in increasing order. Nearly every address has one row, which then
    // costs no allocation.
    struct Rows {
        int first = 0;
        std::vector<int> more;
        std::size_t size() const { return 1 + more.size(); }
    };
    using Map = std::unordered_map<std::uint32_t, Rows>;

    static void add(Map& map, std::uint32_t address, int row);
    static bool remove(Map& map, std::uint32_t address, int row);
    void reportedChanged(std::uint32_t address, std::size_t before, std::size_t after, int row);

    Map m_reported;
    Map m_typed;
    std::vector<int> m_changed;
    bool m_collect = true;
};

// Whether `address` lies in the subnet of `source` under `netmask` (all three
// dotted texts). nullopt when any of them is no address.
std::optional<bool> sameSubnet(std::string_view address, std::string_view source,
                               std::string_view netmask);

}  // namespace kavren::devices

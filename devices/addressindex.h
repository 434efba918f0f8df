// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "protocol/ipv4.h"

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
// the second is looked up against it. Both are values: a typed " 10.0.0.01"
// was parsed once when typed and meets a reported 10.0.0.1.
class AddressIndex final {
public:
    explicit AddressIndex(std::size_t expectedRows = 0);

    // A device row joins or leaves the index with the address it reports and
    // the one it is to take; either is left out when not known (a typed text
    // that names no address).
    void insertRow(int row, std::optional<protocol::Ipv4Address> deviceIp,
                   std::optional<protocol::Ipv4Address> newIp);
    void eraseRow(int row, std::optional<protocol::Ipv4Address> deviceIp,
                  std::optional<protocol::Ipv4Address> newIp);
    void clear();

    // Device rows other than `exceptRow` that report `address`, lowest first.
    std::vector<int> rowsReporting(protocol::Ipv4Address address, int exceptRow) const;
    bool reportedByOther(protocol::Ipv4Address address, int exceptRow) const;

    // Rows whose marks changed because another row came or went (the row
    // being inserted or erased is not among them: its own change is known to
    // whoever made it). Each call hands over what gathered since the last.
    std::vector<int> takeChangedRows();
    // Off: nothing is gathered (a list that nobody shows).
    void collectChanges(bool on);

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
    std::size_t m_expectedRows;
};

// Whether `address` lies in the subnet of `source` under `netmask`.
constexpr bool sameSubnet(protocol::Ipv4Address address, protocol::Ipv4Address source,
                          protocol::Ipv4Address netmask) {
    return (address.value() & netmask.value()) == (source.value() & netmask.value());
}

}  // namespace kavren::devices

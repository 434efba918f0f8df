// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/addressindex.h"

#include <algorithm>

#include "protocol/ipv4.h"

namespace kavren::devices {

AddressIndex::AddressIndex(std::size_t expectedRows) : m_expectedRows(expectedRows) {}

void AddressIndex::add(Map& map, std::uint32_t address, int row) {
    const auto [it, inserted] = map.try_emplace(address, Rows{row, {}});
    if (inserted)
        return;
    Rows& rows = it->second;
    if (row < rows.first)
        std::swap(row, rows.first);
    // Replies append rows in increasing order, so this is nearly always the end.
    rows.more.insert(std::upper_bound(rows.more.begin(), rows.more.end(), row), row);
}

bool AddressIndex::remove(Map& map, std::uint32_t address, int row) {
    const auto it = map.find(address);
    if (it == map.end())
        return false;
    Rows& rows = it->second;
    if (rows.first == row) {
        if (rows.more.empty()) {
            map.erase(it);
            return true;
        }
        rows.first = rows.more.front();
        rows.more.erase(rows.more.begin());
        return true;
    }
    const auto pos = std::lower_bound(rows.more.begin(), rows.more.end(), row);
    if (pos == rows.more.end() || *pos != row)
        return false;
    rows.more.erase(pos);
    return true;
}

void AddressIndex::collectChanges(bool on) {
    m_collect = on;
    if (!on)
        m_changed.clear();
}

void AddressIndex::reportedChanged(std::uint32_t address, std::size_t before, std::size_t after,
                                   int row) {
    if (!m_collect)
        return;
    // A lone row gets a partner, or a pair loses one: the other row's mark
    // changes. Beyond two rows only tooltips change, which are worked out
    // when shown.
    if (before == 1 && after == 2) {
        const Rows& rows = m_reported.at(address);
        m_changed.push_back(rows.first == row ? rows.more.front() : rows.first);
    } else if (before == 2 && after == 1) {
        m_changed.push_back(m_reported.at(address).first);
    }
    // A typed address is marked while any device reports it.
    if ((before == 0) != (after == 0)) {
        if (const auto typed = m_typed.find(address); typed != m_typed.end()) {
            m_changed.push_back(typed->second.first);
            m_changed.insert(m_changed.end(), typed->second.more.begin(), typed->second.more.end());
        }
    }
}

void AddressIndex::insertRow(int row, std::optional<protocol::Ipv4Address> deviceIp,
                             std::optional<protocol::Ipv4Address> newIp) {
    if (deviceIp) {
        // Grown at once for as many devices as a burst brings, like the MAC
        // index, so that no rehash lands in the middle of one; at the first
        // device rather than when made, so that the half a megabyte of
        // buckets is no part of the window's start.
        if (m_reported.empty() && m_reported.bucket_count() < m_expectedRows)
            m_reported.reserve(m_expectedRows);
        const std::uint32_t reported = deviceIp->value();
        const auto it = m_reported.find(reported);
        const std::size_t before = it == m_reported.end() ? 0 : it->second.size();
        add(m_reported, reported, row);
        reportedChanged(reported, before, before + 1, row);
    }
    if (newIp && newIp != deviceIp)
        add(m_typed, newIp->value(), row);
}

void AddressIndex::eraseRow(int row, std::optional<protocol::Ipv4Address> deviceIp,
                            std::optional<protocol::Ipv4Address> newIp) {
    if (deviceIp) {
        const std::uint32_t reported = deviceIp->value();
        const auto it = m_reported.find(reported);
        const std::size_t before = it == m_reported.end() ? 0 : it->second.size();
        if (remove(m_reported, reported, row))
            reportedChanged(reported, before, before - 1, row);
    }
    if (newIp && newIp != deviceIp)
        remove(m_typed, newIp->value(), row);
}

void AddressIndex::clear() {
    m_reported.clear();
    m_typed.clear();
    m_changed.clear();
}

std::vector<int> AddressIndex::rowsReporting(protocol::Ipv4Address address, int exceptRow) const {
    std::vector<int> rows;
    const auto it = m_reported.find(address.value());
    if (it == m_reported.end())
        return rows;
    rows.reserve(it->second.size());
    if (it->second.first != exceptRow)
        rows.push_back(it->second.first);
    for (const int row : it->second.more) {
        if (row != exceptRow)
            rows.push_back(row);
    }
    return rows;
}

bool AddressIndex::reportedByOther(protocol::Ipv4Address address, int exceptRow) const {
    const auto it = m_reported.find(address.value());
    if (it == m_reported.end())
        return false;
    return it->second.size() > 1 || it->second.first != exceptRow;
}

std::vector<int> AddressIndex::takeChangedRows() {
    std::vector<int> changed;
    changed.swap(m_changed);
    return changed;
}

}  // namespace kavren::devices

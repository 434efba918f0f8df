// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/bytes.h"
#include "protocol/ipv4.h"

namespace kavren::net {

// One adapter as the platform reports it: the first six bytes of its hardware
// address and its IPv4 address texts in the platform's order. An adapter
// without an IPv4 address carries the single address "0.0.0.0". netmasks[i]
// is the net mask of addresses[i] in dotted form ("0.0.0.0" when unknown);
// the list may be shorter than the addresses where a source knows none.
struct AdapterInfo {
    protocol::MacBytes mac{};
    std::vector<std::string> addresses;
    std::vector<std::string> netmasks{};
};

// The platform's adapter query, asked once at start-up. Adapters come in a
// fixed order; the loopback adapter is never listed.
class AdapterQuery {
public:
    virtual ~AdapterQuery() = default;
    // nullopt when the query failed: the list then stays empty.
    virtual std::optional<std::vector<AdapterInfo>> query() = 0;
};

std::unique_ptr<AdapterQuery> makePlatformAdapterQuery();

// The adapter address table and the source address. Entry i of the adapter
// list stands for table slot i; the source address is a copy of the chosen
// slot and is what every send binds to (empty: every local address).
class AdapterList final {
public:
    static constexpr int kMaxEntries = 256;

    // Lists every address of every adapter as "%s (%s)" (address, MAC with
    // ":"), at most kMaxEntries of them, selects entry 0 and copies slot 0
    // into the source address. A failed query leaves everything empty.
    void fill(AdapterQuery& query);

    const std::vector<std::string>& entryTexts() const { return m_entries; }
    // The address of entry `index`; empty text beyond the last entry.
    const std::string& tableSlot(int index) const;
    // The net mask the platform reported with the listed address `address`;
    // nothing when the address is not listed or has none.
    std::optional<protocol::Ipv4Address> netmaskOf(protocol::Ipv4Address address) const;
    const std::string& sourceAddress() const { return m_sourceAddress; }
    // The source address as the sockets take it, read once per choice: empty
    // text is every local address, and a text that names no address (the
    // platform reports none such) nothing, which a send refuses as an
    // address the host does not have.
    std::optional<protocol::Ipv4Address> sourceIp() const { return m_sourceIp; }
    // The entry selected by fill: 0, or -1 when the list is empty.
    int initialSelection() const { return m_entries.empty() ? -1 : 0; }

    // The change rule of the adapter choice: a selected entry (index 0 or more)
    // makes its slot the source address; index -1 (typed text that is no
    // entry, or an empty list) keeps the source address as it is.
    void selectionChanged(int index);

    // "%02X:%02X:%02X:%02X:%02X:%02X"
    static std::string macText(const protocol::MacBytes& mac);

private:
    std::vector<std::string> m_entries;
    std::array<std::string, kMaxEntries> m_table{};
    // Each listed address the platform gave a mask for, with that mask, read
    // once when the list is filled.
    std::vector<std::pair<protocol::Ipv4Address, protocol::Ipv4Address>> m_masks;
    std::string m_sourceAddress;
    std::optional<protocol::Ipv4Address> m_sourceIp = protocol::Ipv4Address();

    void setSource(const std::string& address);
};

}  // namespace kavren::net

namespace kavren::net {

// The index of the interface that holds the IPv4 address `address`, 0 when
// none does. Used to steer a broadcast out of the adapter of its source.
int interfaceIndexOf(const std::string& address);

}  // namespace kavren::net

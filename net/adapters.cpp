// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/adapters.h"

#include <cstdio>

namespace kavren::net {

namespace {
const std::string kEmptySlot;
}

std::string AdapterList::macText(const protocol::MacBytes& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

void AdapterList::fill(AdapterQuery& query) {
    m_entries.clear();
    m_table.fill(std::string());
    m_masks.clear();
    setSource(std::string());

    if (const auto adapters = query.query()) {
        for (const AdapterInfo& adapter : *adapters) {
            const std::string mac = macText(adapter.mac);
            // Every adapter gives at least one entry, the platform query
            // reports "0.0.0.0" for one without an IPv4 address; an adapter
            // with no address at all is treated the same way.
            static const std::vector<std::string> kNoAddress{"0.0.0.0"};
            const auto& addresses = adapter.addresses.empty() ? kNoAddress : adapter.addresses;
            for (std::size_t i = 0; i < addresses.size(); ++i) {
                const std::string& address = addresses[i];
                if (m_entries.size() >= static_cast<std::size_t>(kMaxEntries))
                    break;
                m_table[m_entries.size()] = address;
                if (i < adapter.netmasks.size()) {
                    const auto value = protocol::Ipv4Address::parse(address);
                    const auto mask = protocol::Ipv4Address::parse(adapter.netmasks[i]);
                    if (value && mask && !mask->isAny())
                        m_masks.emplace_back(*value, *mask);
                }
                std::string entry = address;
                entry += " (";
                entry += mac;
                entry += ')';
                m_entries.push_back(std::move(entry));
            }
        }
    }
    if (!m_entries.empty())
        setSource(m_table[0]);
}

void AdapterList::setSource(const std::string& address) {
    m_sourceAddress = address;
    m_sourceIp = address.empty() ? protocol::Ipv4Address() : protocol::Ipv4Address::parse(address);
}

std::optional<protocol::Ipv4Address> AdapterList::netmaskOf(protocol::Ipv4Address address) const {
    for (const auto& [listed, mask] : m_masks) {
        if (listed == address)
            return mask;
    }
    return std::nullopt;
}

const std::string& AdapterList::tableSlot(int index) const {
    if (index < 0 || index >= kMaxEntries)
        return kEmptySlot;
    return m_table[static_cast<std::size_t>(index)];
}

void AdapterList::selectionChanged(int index) {
    if (index < 0)
        return;
    setSource(tableSlot(index));
}

}  // namespace kavren::net

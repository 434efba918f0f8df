// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicesenders.h"

#include <algorithm>

namespace kavren::devices {

DeviceSenders::DeviceSenders(std::size_t expectedDevices) {
    // Reserved, not touched: the pages cost memory only as devices come, and
    // a burst never moves the addresses it has already filed.
    m_first.reserve(expectedDevices);
}

DeviceSenders::Claim DeviceSenders::note(std::size_t device, std::uint32_t sender) {
    if (device >= m_first.size()) {
        m_first.push_back(sender);
        return Claim::First;
    }
    std::uint32_t& first = m_first[device];
    if (sender == 0 || sender == first)
        return Claim::Repeat;
    if (first == 0) {
        // The first reply came without its sender: nothing to compare with.
        first = sender;
        return Claim::Repeat;
    }
    auto& rivals = m_rivals[device];
    if (std::find(rivals.begin(), rivals.end(), sender) != rivals.end())
        return Claim::Repeat;
    if (rivals.size() >= kRivalsKept)
        return Claim::Repeat;  // marked already; more names add nothing
    rivals.push_back(sender);
    return Claim::Rival;
}

void DeviceSenders::moved(std::size_t device, std::uint32_t sender) {
    if (device >= m_first.size())
        return;
    m_first[device] = sender;
    m_rivals.erase(device);
}

void DeviceSenders::clear() {
    // The capacity stays: the next Refresh fills it again.
    m_first.clear();
    m_rivals.clear();
}

std::uint32_t DeviceSenders::first(std::size_t device) const {
    return device < m_first.size() ? m_first[device] : 0;
}

std::span<const std::uint32_t> DeviceSenders::rivals(std::size_t device) const {
    if (m_rivals.empty())
        return {};
    const auto it = m_rivals.find(device);
    if (it == m_rivals.end())
        return {};
    return it->second;
}

}  // namespace kavren::devices

// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicelist.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace kavren::devices {

namespace {

const std::string kEmpty;

constexpr std::size_t indexOf(DeviceField field) {
    return static_cast<std::size_t>(field);
}

// Where a field lives in a listed device; none for the new password and the
// address to take, which are kept apart.
std::string ListedDevice::*memberOf(DeviceField field) {
    using Member = std::string ListedDevice::*;
    static constexpr std::array<Member, kDeviceFieldCount> kMembers = {&ListedDevice::mac,
                                                                       &ListedDevice::name,
                                                                       &ListedDevice::version,
                                                                       &ListedDevice::deviceIp,
                                                                       nullptr,
                                                                       nullptr,
                                                                       &ListedDevice::mask,
                                                                       &ListedDevice::gateway,
                                                                       &ListedDevice::description};
    const std::size_t i = indexOf(field);
    return i < kMembers.size() ? kMembers[i] : nullptr;
}

bool searched(DeviceField field) {
    switch (field) {
        case DeviceField::Mac:
        case DeviceField::Name:
        case DeviceField::Version:
        case DeviceField::DeviceIp:
        case DeviceField::Description:
            return true;
        default:
            return false;
    }
}

}  // namespace

DeviceList::DeviceList(std::size_t expectedDevices, int maxDevices)
    : m_addresses(expectedDevices),
      m_senders(expectedDevices),
      m_maxDevices(std::clamp(maxDevices, 0, kMaxDevices)) {
    // Growing the index rehashes every MAC at once, several milliseconds at
    // tens of thousands of devices, in the middle of a burst of replies. Its
    // slots are made once, for as many devices as one burst can bring, at
    // most half of them taken.
    m_macSlots.assign(std::bit_ceil(std::max<std::size_t>(2 * expectedDevices, 16)), 0);
    m_addresses.collectChanges(false);
}

void DeviceList::clear() {
    announceAppended();
    std::fill(m_macSlots.begin(), m_macSlots.end(), 0);
    m_macCount = 0;
    m_devices.clear();
    m_size = 0;
    m_newPasswords.clear();
    m_reported.clear();
    m_typedIps.clear();
    m_addresses.clear();
    m_senders.clear();
    m_leftOut = 0;
    ++m_searchedChanges;
    if (m_observer)
        m_observer->listCleared();
}

int DeviceList::append(DeviceRecord reported, std::uint32_t sender) {
    const int device = size() + 1;
    m_senders.note(static_cast<std::size_t>(device - 1), sender);
    if (m_devices.empty() || m_devices.back().size() == kChunk) {
        m_devices.emplace_back();
        m_devices.back().reserve(kChunk);
    }
    m_devices.back().push_back(ListedDevice{std::move(reported)});
    ++m_size;
    indexMac(device);
    const ListedDevice& listed = at(device);
    m_addresses.insertRow(device, listed.deviceIp, listed.deviceIp);
    if (m_firstUnannounced == 0)
        m_firstUnannounced = device;
    if (m_batchDepth == 0)
        announceAppended();
    return device;
}

void DeviceList::endAppendBatch() {
    if (m_batchDepth > 0)
        --m_batchDepth;
    announceAppended();
}

void DeviceList::announceAppended() {
    if (m_firstUnannounced == 0)
        return;
    const int first = m_firstUnannounced;
    m_firstUnannounced = 0;
    if (m_observer)
        m_observer->devicesAppended(first, size());
}

std::optional<int> DeviceList::findByMac(std::string_view mac) const {
    const int device = m_macSlots[macSlot(mac)];
    return device != 0 ? std::optional(device) : std::nullopt;
}

bool DeviceList::noteSender(int device, std::uint32_t sender) {
    if (!contains(device))
        return false;
    if (m_senders.note(static_cast<std::size_t>(device - 1), sender) != DeviceSenders::Claim::Rival)
        return false;
    announceAppended();
    if (m_observer)
        m_observer->fieldChanged(DeviceField::Mac, device);
    return true;
}

std::uint32_t DeviceList::firstSender(int device) const {
    return contains(device) ? m_senders.first(static_cast<std::size_t>(device - 1)) : 0;
}

std::span<const std::uint32_t> DeviceList::rivalSenders(int device) const {
    if (!contains(device))
        return {};
    return m_senders.rivals(static_cast<std::size_t>(device - 1));
}

const std::string& DeviceList::field(DeviceField field, int device) const {
    if (!contains(device))
        return kEmpty;
    if (field == DeviceField::NewPassword) {
        const auto it = m_newPasswords.find(device);
        return it == m_newPasswords.end() ? kEmpty : it->second;
    }
    if (field == DeviceField::Ip) {
        const auto it = m_typedIps.find(device);
        return it == m_typedIps.end() ? at(device).deviceIp : it->second;
    }
    const auto member = memberOf(field);
    return member ? at(device).*member : kEmpty;
}

DeviceRecord DeviceList::reported(int device) const {
    DeviceRecord record = this->device(device);
    if (const auto it = m_reported.find(device); it != m_reported.end()) {
        record.mask = it->second.mask;
        record.gateway = it->second.gateway;
        record.description = it->second.description;
    }
    return record;
}

void DeviceList::reportsNow(int device, const DeviceRecord& now, std::uint32_t confirmedSender) {
    setField(DeviceField::DeviceIp, device, now.deviceIp);
    setField(DeviceField::Ip, device, now.deviceIp);
    setField(DeviceField::Mask, device, now.mask);
    setField(DeviceField::Gateway, device, now.gateway);
    setField(DeviceField::Description, device, now.description);
    m_reported.erase(device);
    if (confirmedSender != 0) {
        m_senders.moved(static_cast<std::size_t>(device - 1), confirmedSender);
        if (m_observer)
            m_observer->fieldChanged(DeviceField::Mac, device);
    }
}

void DeviceList::setField(DeviceField field, int device, std::string text) {
    if (!contains(device) || indexOf(field) >= kDeviceFieldNames.size())
        return;
    announceAppended();
    if (field == DeviceField::NewPassword) {
        if (text.empty())
            m_newPasswords.erase(device);
        else
            m_newPasswords[device] = std::move(text);
    } else {
        const bool keyed = field == DeviceField::Mac;
        const bool addressed = field == DeviceField::DeviceIp || field == DeviceField::Ip;
        ListedDevice& d = at(device);
        if (keyed)
            unindexMac(device);
        if (addressed)
            m_addresses.eraseRow(device, d.deviceIp, this->field(DeviceField::Ip, device));
        if (searched(field))
            ++m_searchedChanges;
        if (field == DeviceField::Mask || field == DeviceField::Gateway ||
            field == DeviceField::Description)
            m_reported.try_emplace(device, Reported{d.mask, d.gateway, d.description});
        if (field == DeviceField::DeviceIp && !m_typedIps.contains(device))
            m_typedIps.emplace(device, d.deviceIp);  // the address to take stays as it was
        if (field == DeviceField::Ip)
            m_typedIps[device] = std::move(text);
        else if (const auto member = memberOf(field))
            d.*member = std::move(text);
        if (field == DeviceField::Ip || field == DeviceField::DeviceIp) {
            // Only an address to take that differs from the reported one
            // needs keeping.
            if (const auto it = m_typedIps.find(device);
                it != m_typedIps.end() && it->second == d.deviceIp)
                m_typedIps.erase(it);
        }
        if (keyed)
            indexMac(device);
        if (addressed)
            m_addresses.insertRow(device, d.deviceIp, this->field(DeviceField::Ip, device));
    }
    if (m_observer)
        m_observer->fieldChanged(field, device);
}

bool DeviceList::editable(DeviceField field) {
    return field >= DeviceField::NewPassword && field <= DeviceField::Description;
}

std::optional<std::string_view> DeviceList::lengthWarning(DeviceField field,
                                                          std::string_view text) {
    // The thresholds are one above the field widths; the numbers inside the
    // messages are part of their fixed wording.
    switch (field) {
        case DeviceField::Ip:
        case DeviceField::Mask:
        case DeviceField::Gateway:
            if (text.size() > 16)
                return "IP address Length Error !!";
            break;
        case DeviceField::NewPassword:
            if (text.size() > 17)
                return "Password Length must less than 16 !!";
            break;
        case DeviceField::Description:
            if (text.size() > 33)
                return "Description Length must less than 32 !!";
            break;
        default:
            break;
    }
    return std::nullopt;
}

// The slot holding `mac`, or the free slot where it would go (linear
// probing; the table is never full).
std::size_t DeviceList::macSlot(std::string_view mac) const {
    const std::size_t mask = m_macSlots.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(mac)&mask;
    while (m_macSlots[slot] != 0 && at(m_macSlots[slot]).mac != mac)
        slot = (slot + 1) & mask;
    return slot;
}

void DeviceList::growMacIndex() {
    std::vector<int> old(m_macSlots.size() * 2, 0);
    old.swap(m_macSlots);
    for (const int device : old) {
        if (device != 0)
            m_macSlots[macSlot(at(device).mac)] = device;
    }
}

// The index keeps the lowest device for each MAC text.
void DeviceList::indexMac(int device) {
    int& slot = m_macSlots[macSlot(at(device).mac)];
    if (slot == 0) {
        slot = device;
        // Kept at most four fifths full, so that a probe stays short.
        if (++m_macCount * 5 > m_macSlots.size() * 4)
            growMacIndex();
    } else if (device < slot) {
        slot = device;
    }
}

void DeviceList::unindexMac(int device) {
    const std::string& mac = at(device).mac;
    std::size_t hole = macSlot(mac);
    if (m_macSlots[hole] != device)
        return;
    // Rare: a MAC text was written by hand into a second device, which then
    // takes the slot.
    for (int d = device + 1; d <= size(); ++d) {
        if (at(d).mac == mac) {
            m_macSlots[hole] = d;
            return;
        }
    }
    // Linear probing deletes by moving back the entries after the hole that
    // could not sit in their own slot past it.
    const std::size_t mask = m_macSlots.size() - 1;
    for (std::size_t next = (hole + 1) & mask; m_macSlots[next] != 0; next = (next + 1) & mask) {
        const std::size_t home = std::hash<std::string_view>{}(at(m_macSlots[next]).mac) & mask;
        const bool stays =
            hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (!stays) {
            m_macSlots[hole] = m_macSlots[next];
            hole = next;
        }
    }
    m_macSlots[hole] = 0;
    --m_macCount;
}

}  // namespace kavren::devices

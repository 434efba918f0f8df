// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicelist.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace kavren::devices {

namespace {

constexpr std::size_t indexOf(DeviceField field) {
    return static_cast<std::size_t>(field);
}

// Where a text field lives in a listed device; none for the addresses and
// for the new password.
std::string ListedDevice::*memberOf(DeviceField field) {
    switch (field) {
        case DeviceField::Mac:
            return &ListedDevice::mac;
        case DeviceField::Name:
            return &ListedDevice::name;
        case DeviceField::Version:
            return &ListedDevice::version;
        case DeviceField::Description:
            return &ListedDevice::description;
        default:
            return nullptr;
    }
}

// The text typed for a device, or nothing.
const std::string* typedText(const std::unordered_map<int, std::string>& typed, int device) {
    const auto it = typed.find(device);
    return it == typed.end() ? nullptr : &it->second;
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
    m_macSlots = MacSlots(std::bit_ceil(std::max<std::size_t>(2 * expectedDevices, 16)));
    m_addresses.collectChanges(false);
}

void DeviceList::clear() {
    announceAppended();
    m_macSlots = MacSlots(m_macSlots.size());
    m_macCount = 0;
    m_devices.clear();
    m_size = 0;
    m_newPasswords.clear();
    m_typedIps.clear();
    m_typedMasks.clear();
    m_typedGateways.clear();
    m_reportedDescriptions.clear();
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

std::string DeviceList::field(DeviceField field, int device) const {
    if (!contains(device))
        return {};
    const ListedDevice& d = at(device);
    switch (field) {
        case DeviceField::DeviceIp:
            return addressText(d.deviceIp);
        case DeviceField::NewPassword: {
            const std::string* typed = typedText(m_newPasswords, device);
            return typed ? *typed : std::string();
        }
        case DeviceField::Ip: {
            const auto it = m_typedIps.find(device);
            return it == m_typedIps.end() ? addressText(d.deviceIp) : it->second.text;
        }
        case DeviceField::Mask: {
            const auto it = m_typedMasks.find(device);
            return it == m_typedMasks.end() ? addressText(d.mask) : it->second.text;
        }
        case DeviceField::Gateway: {
            const auto it = m_typedGateways.find(device);
            return it == m_typedGateways.end() ? addressText(d.gateway) : it->second.text;
        }
        default: {
            const auto member = memberOf(field);
            return member ? d.*member : std::string();
        }
    }
}

const std::string& DeviceList::newPassword(int device) const {
    static const std::string kNone;
    const std::string* typed = typedText(m_newPasswords, device);
    return typed ? *typed : kNone;
}

std::optional<protocol::Ipv4Address> DeviceList::addressToTake(int device) const {
    if (!contains(device))
        return std::nullopt;
    const auto it = m_typedIps.find(device);
    return it == m_typedIps.end() ? at(device).deviceIp : it->second.value;
}

DeviceSettings DeviceList::settingsToTake(int device) const {
    if (!contains(device))
        return {};
    const ListedDevice& d = at(device);
    auto toTake = [device](const std::unordered_map<int, TypedAddress>& typed,
                           const std::optional<protocol::Ipv4Address>& reported) {
        const auto it = typed.find(device);
        return it == typed.end() ? reported : it->second.value;
    };
    return {addressToTake(device), toTake(m_typedMasks, d.mask), toTake(m_typedGateways, d.gateway),
            d.description};
}

DeviceRecord DeviceList::reported(int device) const {
    DeviceRecord record = this->device(device);
    if (const std::string* description = typedText(m_reportedDescriptions, device))
        record.description = *description;
    return record;
}

void DeviceList::reportsNow(int device, const DeviceRecord& now, std::uint32_t confirmedSender) {
    if (!contains(device))
        return;
    announceAppended();
    ListedDevice& d = at(device);
    m_addresses.eraseRow(device, d.deviceIp, addressToTake(device));
    d.deviceIp = now.deviceIp;
    d.mask = now.mask;
    d.gateway = now.gateway;
    d.description = now.description;
    m_typedIps.erase(device);
    m_typedMasks.erase(device);
    m_typedGateways.erase(device);
    m_reportedDescriptions.erase(device);
    m_addresses.insertRow(device, d.deviceIp, d.deviceIp);
    ++m_searchedChanges;
    if (confirmedSender != 0)
        m_senders.moved(static_cast<std::size_t>(device - 1), confirmedSender);
    if (m_observer) {
        for (const DeviceField field : {DeviceField::DeviceIp, DeviceField::Ip, DeviceField::Mask,
                                        DeviceField::Gateway, DeviceField::Description})
            m_observer->fieldChanged(field, device);
        if (confirmedSender != 0)
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
            m_addresses.eraseRow(device, d.deviceIp, addressToTake(device));
        if (searched(field))
            ++m_searchedChanges;
        if (field == DeviceField::Description)
            m_reportedDescriptions.try_emplace(device, d.description);
        if (field == DeviceField::DeviceIp) {
            // The address to take stays as it was.
            m_typedIps.try_emplace(device, TypedAddress{addressText(d.deviceIp), d.deviceIp});
            d.deviceIp = protocol::Ipv4Address::parse(text);
        } else if (field == DeviceField::Ip) {
            const auto value = protocol::Ipv4Address::parse(text);
            m_typedIps[device] = TypedAddress{std::move(text), value};
        } else if (field == DeviceField::Mask || field == DeviceField::Gateway) {
            const auto value = protocol::Ipv4Address::parse(text);
            (field == DeviceField::Mask ? m_typedMasks : m_typedGateways)[device] =
                TypedAddress{std::move(text), value};
        } else if (const auto member = memberOf(field)) {
            d.*member = std::move(text);
        }
        if (addressed) {
            // Only an address to take that differs from the reported one
            // needs keeping.
            if (const auto it = m_typedIps.find(device);
                it != m_typedIps.end() && it->second.text == addressText(d.deviceIp))
                m_typedIps.erase(it);
        }
        if (keyed)
            indexMac(device);
        if (addressed)
            m_addresses.insertRow(device, d.deviceIp, addressToTake(device));
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
    MacSlots old(m_macSlots.size() * 2);
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

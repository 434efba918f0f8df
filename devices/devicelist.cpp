// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicelist.h"

#include <algorithm>

namespace kavren::devices {

namespace {

const std::string kEmpty;

constexpr std::size_t indexOf(DeviceField field) {
    return static_cast<std::size_t>(field);
}

// Where a field lives in a listed device; none for the new password.
std::string ListedDevice::*memberOf(DeviceField field) {
    using Member = std::string ListedDevice::*;
    static constexpr std::array<Member, kDeviceFieldCount> kMembers = {&ListedDevice::mac,
                                                                       &ListedDevice::name,
                                                                       &ListedDevice::version,
                                                                       &ListedDevice::deviceIp,
                                                                       nullptr,
                                                                       &ListedDevice::ip,
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
    // buckets are made once, for as many devices as one burst can bring.
    m_macIndex.reserve(expectedDevices);
    m_addresses.collectChanges(false);
}

void DeviceList::clear() {
    announceAppended();
    // The index views the devices' texts: it goes first.
    m_macIndex.clear();
    m_devices.clear();
    m_newPasswords.clear();
    m_reported.clear();
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
    std::string ip = reported.deviceIp;
    m_devices.push_back(ListedDevice{std::move(reported), std::move(ip)});
    indexMac(device);
    const ListedDevice& listed = m_devices.back();
    m_addresses.insertRow(device, listed.deviceIp, listed.ip);
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
    const auto it = m_macIndex.find(mac);
    if (it == m_macIndex.end())
        return std::nullopt;
    return it->second;
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
    const auto member = memberOf(field);
    return member ? m_devices[static_cast<std::size_t>(device - 1)].*member : kEmpty;
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

void DeviceList::reportsNow(int device, const DeviceRecord& now) {
    setField(DeviceField::DeviceIp, device, now.deviceIp);
    setField(DeviceField::Ip, device, now.deviceIp);
    setField(DeviceField::Mask, device, now.mask);
    setField(DeviceField::Gateway, device, now.gateway);
    setField(DeviceField::Description, device, now.description);
    m_reported.erase(device);
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
        const ListedDevice& d = m_devices[static_cast<std::size_t>(device - 1)];
        if (keyed)
            unindexMac(device);
        if (addressed)
            m_addresses.eraseRow(device, d.deviceIp, d.ip);
        if (searched(field))
            ++m_searchedChanges;
        if (field == DeviceField::Mask || field == DeviceField::Gateway ||
            field == DeviceField::Description)
            m_reported.try_emplace(device, Reported{d.mask, d.gateway, d.description});
        if (const auto member = memberOf(field))
            m_devices[static_cast<std::size_t>(device - 1)].*member = std::move(text);
        if (keyed)
            indexMac(device);
        if (addressed)
            m_addresses.insertRow(device, d.deviceIp, d.ip);
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

// The index keeps the lowest device for each MAC text.
void DeviceList::indexMac(int device) {
    const std::string& mac = field(DeviceField::Mac, device);
    const auto [it, inserted] = m_macIndex.try_emplace(mac, device);
    if (!inserted && device < it->second) {
        // The key must view the text of the device it names, which is the
        // one whose change will take it out again.
        m_macIndex.erase(it);
        m_macIndex.emplace(mac, device);
    }
}

void DeviceList::unindexMac(int device) {
    const auto it = m_macIndex.find(field(DeviceField::Mac, device));
    if (it == m_macIndex.end() || it->second != device)
        return;
    m_macIndex.erase(it);
    // Rare: a MAC text was written by hand into a second device. The key
    // views that device's text, not the one about to change.
    const std::string& mac = field(DeviceField::Mac, device);
    for (int d = device + 1; d <= size(); ++d) {
        const std::string& other = field(DeviceField::Mac, d);
        if (other == mac) {
            m_macIndex.emplace(other, d);
            break;
        }
    }
}

}  // namespace kavren::devices

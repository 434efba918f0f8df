// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "devices/addressindex.h"
#include "devices/devicerecord.h"
#include "devices/devicesenders.h"

namespace kavren::devices {

// The texts kept for a listed device, in the order the user reads them.
// The first four are what the device reported; the other five are the
// settings the user may change before an update.
enum class DeviceField : int {
    Mac,
    Name,
    Version,
    DeviceIp,
    NewPassword,
    Ip,
    Mask,
    Gateway,
    Description,
};
inline constexpr int kDeviceFieldCount = 9;
// Each field's name as the user reads it (the grid's headers, the
// confirmation's labels, the command line's columns), in DeviceField order.
inline constexpr std::array<std::string_view, kDeviceFieldCount> kDeviceFieldNames = {
    "MAC Address", "Device Name", "Version", "DeviceIP",   "NewPassword",
    "IP Address",  "NetMask",     "Gateway", "Description"};

// A listed device: the record of its first reply. The description starts as
// reported and is changed in place. The address to take, mask and gateway
// start as the reported values and the new password empty; what the user
// typed over them is kept apart as text (DeviceList::field) for the few
// devices where that happened, so that a listed device costs its record alone.
struct ListedDevice : DeviceRecord {};
// Every byte here is paid once per listed device, up to kMaxDevices.
static_assert(sizeof(ListedDevice) <= 256, "a listed device outgrows its bound");

// Told about every change, so a view can repaint only what changed (one
// notification per append, not per field).
class DeviceListObserver {
public:
    virtual ~DeviceListObserver() = default;
    virtual void listCleared() = 0;
    // Devices first..last (numbers, see DeviceList) were appended.
    virtual void devicesAppended(int first, int last) = 0;
    virtual void fieldChanged(DeviceField field, int device) = 0;
};

// The listed devices, by MAC, in the order their first replies came. A device
// is named by its number: 1 for the first, size() for the last; numbers never
// change until clear(), as devices are only ever appended. Every text is an
// 8-bit text as the device sent it.
class DeviceList final {
public:
    // Devices the MAC index holds without growing (it grows beyond).
    static constexpr std::size_t kExpectedDevices = 65536;
    // Devices listed at most. A real segment holds a few thousand; the bound
    // is for forged replies, each with a MAC of its own, which would otherwise
    // take memory until the program ends (a record is 152 bytes; with its
    // share of the indexes and the window's model about 300 a device).
    static constexpr int kMaxDevices = 100000;

    // `expectedDevices` sizes the MAC index up front; short-lived lists
    // (tools, tests) can ask for less.
    // `maxDevices` below kMaxDevices is for tests that reach the bound.
    explicit DeviceList(std::size_t expectedDevices = kExpectedDevices,
                        int maxDevices = kMaxDevices);
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    void setObserver(DeviceListObserver* observer) {
        m_observer = observer;
        // Mark changes are gathered only for someone who shows them.
        m_addresses.collectChanges(observer != nullptr);
    }

    // Forgets every device.
    void clear();
    // Lists a device as `reported`; returns its number. `sender` is the
    // source address of the reply (host order, 0 when not known).
    int append(DeviceRecord reported, std::uint32_t sender = 0);

    int size() const { return m_size; }
    bool contains(int device) const { return device >= 1 && device <= size(); }

    // No more devices are taken once this holds (append still appends; the
    // reply handler asks first).
    bool full() const { return size() >= m_maxDevices; }
    int maxDevices() const { return m_maxDevices; }
    // A device was left out because the list is full: true the first time
    // after each clear(), so that it is said once.
    bool noteDeviceLeftOut() { return m_leftOut++ == 0; }

    // Another reply for `device` came from `sender`. A sender not seen for it
    // before is kept, and the observer hears of the MAC. Returns whether it
    // was such a rival.
    bool noteSender(int device, std::uint32_t sender);
    // The first sender of a device and the others; 0 / empty when not known
    // or no such device.
    std::uint32_t firstSender(int device) const;
    std::span<const std::uint32_t> rivalSenders(int device) const;

    // Between these two, appended devices are announced to the observer
    // once, at the end, as one range; any other change announces them first,
    // so the observer still hears of every change in order. Batches may nest;
    // each end announces what was appended so far.
    void beginAppendBatch() { ++m_batchDepth; }
    void endAppendBatch();
    // Announces the devices appended so far, ahead of a change the observer
    // hears of from elsewhere (a view's own headers).
    void announceAppended();

    // The first device whose MAC text equals `mac` exactly.
    std::optional<int> findByMac(std::string_view mac) const;

    // A field of a device as the user reads it (addresses dotted, typed
    // texts as typed); empty for no such device.
    std::string field(DeviceField field, int device) const;
    // The address the device is to take: the one typed, parsed when it was
    // typed, else the reported one. Nothing when the typed text names no
    // address or there is no such device.
    std::optional<protocol::Ipv4Address> addressToTake(int device) const;
    // The settings the device is to take: each address as typed (parsed when
    // it was typed; nothing where the text names none) or as reported, and
    // the description as it stands. Empty for no such device.
    DeviceSettings settingsToTake(int device) const;
    // The new password typed for a device, where it stands (a copy would
    // outlive the wiping of the list's own); empty when none.
    const std::string& newPassword(int device) const;
    // The device as its reply described it, before any typing over its
    // mask, gateway or description (what a change record calls "before").
    DeviceRecord reported(int device) const;
    // The device reports `now` (found again after a change): its address,
    // the address to take, mask, gateway and description follow it. When
    // the change is confirmed, its reply's `sender` (0: not known) becomes
    // the device's only sender: the old address is no rival.
    void reportsNow(int device, const DeviceRecord& now, std::uint32_t confirmedSender = 0);
    // Changes a field of a device, keeping the indexes true; nothing for no
    // such device. Any field can be written (tools and tests rename devices);
    // the user edits only the editable ones. DeviceIP takes the address its
    // text names, and is unknown after a text that names none.
    void setField(DeviceField field, int device, std::string text);
    // The device as listed; `device` must be one (contains()).
    const ListedDevice& device(int device) const { return at(device); }

    // Grows with every change of a searched field (MAC, name, version,
    // DeviceIP, description) other than an append, and with every clear: a
    // search index built before is out of date.
    std::uint64_t searchedChanges() const { return m_searchedChanges; }

    // Which devices report which address; true after every change.
    const AddressIndex& addresses() const { return m_addresses; }
    // Devices whose address marks changed through a change of another one.
    std::vector<int> takeAddressMarkChanges() { return m_addresses.takeChangedRows(); }

    // The settings the user may change: the new password, the address to
    // take, net mask, gateway and description.
    static bool editable(DeviceField field);
    // A warning about a text too long for its field, to be shown to the user
    // as it is; texts are never refused.
    static std::optional<std::string_view> lengthWarning(DeviceField field, std::string_view text);
    // The field's name as the user reads it (the confirmation's labels, the
    // grid's headers).
    static constexpr std::string_view fieldName(DeviceField field) {
        const auto i = static_cast<std::size_t>(field);
        return i < kDeviceFieldNames.size() ? kDeviceFieldNames[i] : std::string_view();
    }

private:
    void indexMac(int device);
    void unindexMac(int device);

    ListedDevice& at(int device) {
        return m_devices[static_cast<std::size_t>(device - 1) / kChunk]
                        [static_cast<std::size_t>(device - 1) % kChunk];
    }
    const ListedDevice& at(int device) const {
        return m_devices[static_cast<std::size_t>(device - 1) / kChunk]
                        [static_cast<std::size_t>(device - 1) % kChunk];
    }
    std::size_t macSlot(std::string_view mac) const;
    void growMacIndex();

    // Devices in chunks of kChunk, each reserved whole when it is begun: the
    // list grows without moving a device and without a deque's half-empty
    // blocks, and a chunk's untouched tail costs no resident memory.
    static constexpr std::size_t kChunk = 1024;
    std::vector<std::vector<ListedDevice>> m_devices;
    int m_size = 0;
    // The few new passwords, addresses to take, masks and gateways that the
    // user typed, by device; a device without one keeps what it reported.
    std::unordered_map<int, std::string> m_newPasswords;
    struct TypedAddress {
        std::string text;
        std::optional<protocol::Ipv4Address> value;  // parsed once, when typed
    };
    std::unordered_map<int, TypedAddress> m_typedIps;
    std::unordered_map<int, TypedAddress> m_typedMasks;
    std::unordered_map<int, TypedAddress> m_typedGateways;
    // The reported description of the devices the user typed over, kept from
    // the first change on.
    std::unordered_map<int, std::string> m_reportedDescriptions;
    // MAC text to the first device that holds it, so that a reply from a
    // listed device is found without walking the list: open addressing over
    // device numbers (0 for a free slot), the key being the device's own MAC
    // text. Four bytes a slot, made once for the expected count, instead of a
    // node of its own per device. The slots come from calloc, untouched: the
    // system's zero pages stand for them until a MAC lands there, so a list
    // made for a 65,536-device burst costs the window's start no page faults.
    template <typename T>
    struct ZeroPageAllocator {
        using value_type = T;
        ZeroPageAllocator() = default;
        template <typename U>
        explicit ZeroPageAllocator(const ZeroPageAllocator<U>& /*other*/) {}
        T* allocate(std::size_t n);
        void deallocate(T* p, std::size_t /*n*/) { std::free(p); }
        // Left as calloc made it: zero.
        template <typename U>
        void construct(U* /*p*/) {}
        bool operator==(const ZeroPageAllocator& /*other*/) const = default;
    };
    using MacSlots = std::vector<int, ZeroPageAllocator<int>>;
    MacSlots m_macSlots;
    std::size_t m_macCount = 0;
    AddressIndex m_addresses;
    // Device n is n - 1 here.
    DeviceSenders m_senders;
    int m_maxDevices;
    std::uint64_t m_leftOut = 0;
    std::uint64_t m_searchedChanges = 0;
    int m_batchDepth = 0;
    int m_firstUnannounced = 0;  // first appended device not yet announced; 0 for none
    DeviceListObserver* m_observer = nullptr;
};

template <typename T>
T* DeviceList::ZeroPageAllocator<T>::allocate(std::size_t n) {
    if (void* p = std::calloc(n, sizeof(T)))
        return static_cast<T*>(p);
    throw std::bad_alloc();
}

}  // namespace kavren::devices

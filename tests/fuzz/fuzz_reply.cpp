// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds a stream of datagrams through recognition and the reply handler into
// one device list, and checks the list's invariants: after every datagram at
// most one device was added, at the end, its MAC found as that device, nothing
// to read past the last one; at the end no MAC is listed twice and every
// device still holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "devices/devicelist.h"
#include "usecases/discovery.h"

namespace {

struct CheckingEvents final : kavren::usecases::ReplyEvents {
    // A name and a result text are at most one 32-byte field each; a MAC
    // text is 17 characters.
    static void check(std::string_view name, std::string_view mac) {
        if (name.size() > 32 || mac.size() != 17)
            std::abort();
    }
    void deviceListed(std::string_view name, std::string_view mac) override { check(name, mac); }
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool) override {
        check(name, mac);
        if (text.size() > 32)
            std::abort();
    }
    void listFull() override {}
};

void checkRow(const kavren::devices::DeviceList& devices, int r) {
    using kavren::devices::DeviceField;
    const std::string& mac = devices.field(DeviceField::Mac, r);
    if (mac.size() != 17)
        std::abort();
    if (devices.findByMac(mac) != r)
        std::abort();  // also: no earlier row holds this MAC
    if (!devices.field(DeviceField::NewPassword, r).empty())
        std::abort();
    if (devices.field(DeviceField::DeviceIp, r) != devices.field(DeviceField::Ip, r))
        std::abort();
    if (devices.field(DeviceField::Name, r).size() > 32)
        std::abort();
    if (devices.field(DeviceField::Version, r).size() > 16)
        std::abort();
    if (devices.field(DeviceField::Description, r).size() > 32)
        std::abort();
}

// Past the last device there is nothing to read.
void checkPastTheEnd(const kavren::devices::DeviceList& devices) {
    for (int f = 0; f < kavren::devices::kDeviceFieldCount; ++f) {
        if (!devices.field(static_cast<kavren::devices::DeviceField>(f), devices.size() + 1)
                 .empty())
            std::abort();
    }
}

// The whole list, once at the end: every device as above and no MAC twice.
void checkInvariants(const kavren::devices::DeviceList& devices) {
    checkPastTheEnd(devices);
    std::set<std::string> macs;
    for (int r = 1; r <= devices.size(); ++r) {
        checkRow(devices, r);
        // Every row knows its first sender; rivals stay bounded.
        if (devices.firstSender(r) == 0 ||
            devices.rivalSenders(r).size() > kavren::devices::DeviceSenders::kRivalsKept)
            std::abort();
        if (!macs.insert(devices.field(kavren::devices::DeviceField::Mac, r)).second)
            std::abort();
    }
}

}  // namespace

// The input is a sequence of datagrams, each preceded by a length byte pair
// (big-endian, cut to 1,024 as the receive buffer does). A zero byte pair
// with value 0xFFFF clears the list, as Refresh does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavren::devices::DeviceList devices(64);  // a full-size index per input would dominate the run
    CheckingEvents events;
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        const std::size_t declared = (std::size_t{data[pos]} << 8) | data[pos + 1];
        pos += 2;
        if (declared == 0xFFFF) {
            devices.clear();
            if (devices.size() != 0)
                std::abort();
            checkPastTheEnd(devices);
            continue;
        }
        std::size_t n = declared < 1024 ? declared : 1024;
        if (n > size - pos)
            n = size - pos;
        // Each datagram adds at most one row, at the end, and leaves the rows
        // before it alone; the new row is checked at once, the rest at the end.
        const int before = devices.size();
        // The sender is taken from the length pair, so one MAC sent with
        // several lengths comes from several senders.
        const auto sender = static_cast<std::uint32_t>(0x0A000000U | declared);
        kavren::usecases::handleReply(devices, events, std::span<const std::uint8_t>(data + pos, n),
                                      sender);
        const int after = devices.size();
        if (after != before && after != before + 1)
            std::abort();
        if (after == before + 1)
            checkRow(devices, after);
        checkPastTheEnd(devices);
        pos += n;
    }
    checkInvariants(devices);
    return 0;
}

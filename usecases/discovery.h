// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/ipv4.h"
#include "protocol/packets.h"

namespace kavren::devices {
class DeviceList;
}

namespace kavren::net {
class DatagramSender;
}

namespace kavren::usecases {

// What the reply handler reports, as it happens. The texts are valid only
// during the call; a listener copies what it keeps.
class ReplyEvents {
public:
    virtual ~ReplyEvents() = default;
    // A device not listed before was appended to the list.
    virtual void deviceListed(std::string_view name, std::string_view mac) = 0;
    // A device answered a configuration request with `text`, which
    // `accepted` judges (acceptedAnswer). `name` is the listed device's
    // name, empty when its MAC is not listed.
    virtual void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                                bool accepted) = 0;
    // The list is full and a new device was left out; reported once until
    // the list is cleared.
    virtual void listFull() = 0;
};

// Whether a device's result message says it took the settings: its text
// starts with "Setting OK"; any other text is its refusal, told as it came.
// The one rule the window and the configuration run judge an answer by.
bool acceptedAnswer(std::string_view resultText);

// What one datagram did to the device list.
enum class Heard {
    Nothing,      // no reply of a device: dropped without a trace
    Listed,       // a device not listed before was appended
    Updated,      // a listed device answered again; its texts stay those of
                  // the first reply, a sender not known before is filled in
    RivalSender,  // a listed MAC came from a sender not seen for it before,
                  // now kept beside it (DeviceSenders::kRivalsKept at most)
    Result,       // a result message, of a listed device when `device` is set
    ListFull,     // a device not listed before was left out: the list is full
};

struct Catalogued {
    Heard heard = Heard::Nothing;
    int device = 0;         // the listed device it concerns; 0 for none
    protocol::Reply reply;  // the datagram as recognised
};

// Takes one datagram from `sender` (its source address; 0.0.0.0 when not
// known) into the list: the one place where replies are merged by MAC, for
// the window's receive pump and for the command line's rounds alike. The
// command line keeps beside the list what only it needs (the adapter of a
// device's first reply, each rival's own texts).
Catalogued catalogue(devices::DeviceList& list, std::span<const std::uint8_t> datagram,
                     protocol::Ipv4Address sender);

// Handles one received datagram from `sender` (its source address, host
// order; 0 when not known) for the window: catalogues it and tells a listed
// device and a result message; a full list is told once.
void handleReply(devices::DeviceList& list, ReplyEvents& events,
                 std::span<const std::uint8_t> datagram, std::uint32_t sender = 0);

// Broadcasts the one discovery request of a Refresh, or of one discovery
// round, from the adapter address `source`.
void sendDiscoveryRequest(net::DatagramSender& sender, protocol::Ipv4Address source);

}  // namespace kavren::usecases

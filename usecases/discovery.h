// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

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

// Handles one received datagram from `sender` (its source address, host
// order; 0 when not known): a device information reply lists a device unless
// its MAC is listed already, in which case a sender not seen for that MAC
// before is kept with the device; a result message reply shows its text. Anything
// else is dropped without a trace. A full list takes no new devices, and says
// so once.
void handleReply(devices::DeviceList& list, ReplyEvents& events,
                 std::span<const std::uint8_t> datagram, std::uint32_t sender = 0);

// What the window and the command line say when the list is full.
inline constexpr std::string_view kDeviceListFullText =
    "Device list full: further devices are not listed.";

// Broadcasts the one discovery request of a Refresh.
void sendDiscoveryRequest(net::DatagramSender& sender);

}  // namespace kavren::usecases

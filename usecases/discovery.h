// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kavren {

class DeviceGrid;
class DatagramSender;

// The two panels of the main window's status bar.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    enum Panel : int { DevicePanel = 0, MessagePanel = 1 };
    virtual void setStatusText(Panel panel, std::string_view text) = 0;
};

// Handles one received datagram from `sender` (its source address, host
// order; 0 when not known): a device information reply adds a row unless its
// MAC is listed already, in which case a sender not seen for that MAC before
// is kept beside the row; a result message reply shows its text. Anything
// else is dropped without a trace. A full list takes no new devices, and says
// so once in the message panel.
void handleReply(DeviceGrid& grid, StatusSink& status, std::span<const std::uint8_t> datagram,
                 std::uint32_t sender = 0);

// What the message panel and the command line say when the list is full.
inline constexpr std::string_view kDeviceListFullText =
    "Device list full: further devices are not listed.";

// Broadcasts the one discovery request of a Refresh.
void sendDiscoveryRequest(DatagramSender& sender);

}  // namespace kavren

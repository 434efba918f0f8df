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

// Handles one received datagram: a device information reply adds a row
// unless its MAC is listed already; a result message reply shows its text.
// Anything else is dropped without a trace.
void handleReply(DeviceGrid& grid, StatusSink& status, std::span<const std::uint8_t> datagram);

// Broadcasts the one discovery request of a Refresh.
void sendDiscoveryRequest(DatagramSender& sender);

}  // namespace kavren

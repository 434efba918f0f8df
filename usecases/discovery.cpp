// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"

#include <string>
#include <variant>

#include "devices/devicegrid.h"
#include "net/sender.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"
#include "usecases/devicerecord.h"

namespace kavren {

namespace {

// Builds "Device : name (MAC)" into a buffer kept per thread and reused, so
// the status line of a reply costs no allocation once the buffer has grown
// to the longest line. The text holds until the next call on this thread;
// every status sink copies what it keeps.
std::string_view deviceLine(std::string_view name, std::string_view mac) {
    thread_local std::string line;
    line.assign("Device : ");
    line.append(name).append(" (").append(mac).push_back(')');
    return line;
}

void addDevice(DeviceGrid& grid, StatusSink& status, const packet::DeviceInfoReply& reply,
               std::uint32_t sender) {
    DeviceRecord device = deviceRecordOf(reply);
    if (const auto row = grid.findRowByMac(device.mac)) {
        // Listed already: the texts stay those of the first reply, but a
        // second sender claiming the MAC is remembered and shown.
        grid.noteSender(*row, sender);
        return;
    }
    if (grid.full()) {
        if (grid.noteDeviceLeftOut())
            status.setStatusText(StatusSink::MessagePanel, kDeviceListFullText);
        return;
    }

    const int row = grid.appendDeviceRow({.mac = std::move(device.mac),
                                          .name = std::move(device.name),
                                          .version = std::move(device.version),
                                          .deviceIp = device.deviceIp,
                                          .ip = std::move(device.deviceIp),
                                          .mask = std::move(device.mask),
                                          .gateway = std::move(device.gateway),
                                          .description = std::move(device.description)},
                                         sender);
    status.setStatusText(StatusSink::DevicePanel, deviceLine(grid.cell(DeviceGrid::ColName, row),
                                                             grid.cell(DeviceGrid::ColMac, row)));
    status.setStatusText(StatusSink::MessagePanel, "Get Device Information done.");
}

void showResult(DeviceGrid& grid, StatusSink& status, const packet::ResultMessageReply& reply) {
    const std::string mac = codec::formatMac(reply.mac);
    // A device that is not listed has no name to show: panel 0 then names it
    // by its MAC text alone, so the message is never attributed to the device
    // that panel 0 showed before.
    if (const auto row = grid.findRowByMac(mac)) {
        status.setStatusText(StatusSink::DevicePanel,
                             deviceLine(grid.cell(DeviceGrid::ColName, *row), mac));
    } else {
        status.setStatusText(StatusSink::DevicePanel, deviceLine("", mac));
    }
    status.setStatusText(StatusSink::MessagePanel, reply.text);
}

}  // namespace

void handleReply(DeviceGrid& grid, StatusSink& status, std::span<const std::uint8_t> datagram,
                 std::uint32_t sender) {
    const packet::Reply reply = packet::recognise(datagram);
    if (const auto* info = std::get_if<packet::DeviceInfoReply>(&reply)) {
        addDevice(grid, status, *info, sender);
    } else if (const auto* result = std::get_if<packet::ResultMessageReply>(&reply)) {
        showResult(grid, status, *result);
    }
}

void sendDiscoveryRequest(DatagramSender& sender) {
    const packet::DiscoveryRequest request = packet::buildDiscoveryRequest();
    sender.send("255.255.255.255", true, request);
}

}  // namespace kavren

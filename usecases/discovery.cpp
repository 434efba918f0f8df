// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"

#include <string>
#include <variant>

#include "devices/devicegrid.h"
#include "net/sender.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"
#include "usecases/devicerecord.h"

namespace kavren::usecases {

namespace {

void addDevice(devices::DeviceGrid& grid, ReplyEvents& events,
               const protocol::DeviceInfoReply& reply, std::uint32_t sender) {
    DeviceRecord device = deviceRecordOf(reply);
    if (const auto row = grid.findRowByMac(device.mac)) {
        // Listed already: the texts stay those of the first reply, but a
        // second sender claiming the MAC is remembered and shown.
        grid.noteSender(*row, sender);
        return;
    }
    if (grid.full()) {
        if (grid.noteDeviceLeftOut())
            events.listFull();
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
    events.deviceListed(grid.cell(devices::DeviceGrid::ColName, row),
                        grid.cell(devices::DeviceGrid::ColMac, row));
}

void reportResult(const devices::DeviceGrid& grid, ReplyEvents& events,
                  const protocol::ResultMessageReply& reply) {
    const std::string mac = protocol::formatMac(reply.mac);
    // A device that is not listed has no name: it is named by its MAC text
    // alone, so the result is never attributed to a device reported before.
    const auto row = grid.findRowByMac(mac);
    events.resultReceived(
        row ? std::string_view(grid.cell(devices::DeviceGrid::ColName, *row)) : std::string_view(),
        mac, reply.text);
}

}  // namespace

void handleReply(devices::DeviceGrid& grid, ReplyEvents& events,
                 std::span<const std::uint8_t> datagram, std::uint32_t sender) {
    const protocol::Reply reply = protocol::recognise(datagram);
    if (const auto* info = std::get_if<protocol::DeviceInfoReply>(&reply)) {
        addDevice(grid, events, *info, sender);
    } else if (const auto* result = std::get_if<protocol::ResultMessageReply>(&reply)) {
        reportResult(grid, events, *result);
    }
}

void sendDiscoveryRequest(net::DatagramSender& sender) {
    const protocol::DiscoveryRequest request = protocol::buildDiscoveryRequest();
    sender.send("255.255.255.255", true, request);
}

}  // namespace kavren::usecases

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"

#include <string>
#include <variant>

#include "devices/devicelist.h"
#include "devices/devicerecord.h"
#include "net/sender.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"

namespace kavren {

namespace {

void addDevice(DeviceList& devices, ReplyEvents& events, const packet::DeviceInfoReply& reply,
               std::uint32_t sender) {
    DeviceRecord device = deviceRecordOf(reply);
    if (const auto listed = devices.findByMac(device.mac)) {
        // Listed already: the texts stay those of the first reply, but a
        // second sender claiming the MAC is remembered and shown.
        devices.noteSender(*listed, sender);
        return;
    }
    if (devices.full()) {
        if (devices.noteDeviceLeftOut())
            events.listFull();
        return;
    }

    const ListedDevice& listed = devices.device(devices.append(std::move(device), sender));
    events.deviceListed(listed.name, listed.mac);
}

void reportResult(const DeviceList& devices, ReplyEvents& events,
                  const packet::ResultMessageReply& reply) {
    const std::string mac = codec::formatMac(reply.mac);
    // A device that is not listed has no name: it is named by its MAC text
    // alone, so the result is never attributed to a device reported before.
    const auto listed = devices.findByMac(mac);
    events.resultReceived(
        listed ? std::string_view(devices.device(*listed).name) : std::string_view(), mac,
        reply.text);
}

}  // namespace

void handleReply(DeviceList& devices, ReplyEvents& events, std::span<const std::uint8_t> datagram,
                 std::uint32_t sender) {
    const packet::Reply reply = packet::recognise(datagram);
    if (const auto* info = std::get_if<packet::DeviceInfoReply>(&reply)) {
        addDevice(devices, events, *info, sender);
    } else if (const auto* result = std::get_if<packet::ResultMessageReply>(&reply)) {
        reportResult(devices, events, *result);
    }
}

void sendDiscoveryRequest(DatagramSender& sender) {
    const packet::DiscoveryRequest request = packet::buildDiscoveryRequest();
    sender.send("255.255.255.255", true, request);
}

}  // namespace kavren

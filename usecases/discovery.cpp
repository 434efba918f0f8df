// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/discovery.h"

#include <string>
#include <variant>

#include "devices/devicelist.h"
#include "devices/devicerecord.h"
#include "net/sender.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"

namespace kavren::usecases {

namespace {

void addDevice(devices::DeviceList& list, ReplyEvents& events,
               const protocol::DeviceInfoReply& reply, std::uint32_t sender) {
    devices::DeviceRecord device = devices::deviceRecordOf(reply);
    if (const auto listed = list.findByMac(device.mac)) {
        // Listed already: the texts stay those of the first reply, but a
        // second sender claiming the MAC is remembered and shown.
        list.noteSender(*listed, sender);
        return;
    }
    if (list.full()) {
        if (list.noteDeviceLeftOut())
            events.listFull();
        return;
    }

    const devices::ListedDevice& listed = list.device(list.append(std::move(device), sender));
    events.deviceListed(listed.name, listed.mac);
}

void reportResult(const devices::DeviceList& list, ReplyEvents& events,
                  const protocol::ResultMessageReply& reply) {
    const std::string mac = protocol::formatMac(reply.mac);
    // A device that is not listed has no name: it is named by its MAC text
    // alone, so the result is never attributed to a device reported before.
    const auto listed = list.findByMac(mac);
    events.resultReceived(listed ? std::string_view(list.device(*listed).name) : std::string_view(),
                          mac, reply.text, acceptedAnswer(reply.text));
}

}  // namespace

bool acceptedAnswer(std::string_view resultText) {
    return resultText.starts_with("Setting OK");
}

void handleReply(devices::DeviceList& list, ReplyEvents& events,
                 std::span<const std::uint8_t> datagram, std::uint32_t sender) {
    const protocol::Reply reply = protocol::recognise(datagram);
    if (const auto* info = std::get_if<protocol::DeviceInfoReply>(&reply)) {
        addDevice(list, events, *info, sender);
    } else if (const auto* result = std::get_if<protocol::ResultMessageReply>(&reply)) {
        reportResult(list, events, *result);
    }
}

void sendDiscoveryRequest(net::DatagramSender& sender) {
    const protocol::DiscoveryRequest request = protocol::buildDiscoveryRequest();
    sender.send(protocol::kLimitedBroadcast, true, request);
}

}  // namespace kavren::usecases

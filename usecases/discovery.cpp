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

Catalogued catalogue(devices::DeviceList& list, std::span<const std::uint8_t> datagram,
                     protocol::Ipv4Address sender) {
    Catalogued caught{.heard = Heard::Nothing, .device = 0, .reply = protocol::recognise(datagram)};
    if (const auto* info = std::get_if<protocol::DeviceInfoReply>(&caught.reply)) {
        devices::DeviceRecord device = devices::deviceRecordOf(*info);
        if (const auto listed = list.findByMac(device.mac)) {
            caught.device = *listed;
            caught.heard =
                list.noteSender(*listed, sender.value()) ? Heard::RivalSender : Heard::Updated;
        } else if (list.full()) {
            caught.heard = Heard::ListFull;
        } else {
            caught.device = list.append(std::move(device), sender.value());
            caught.heard = Heard::Listed;
        }
    } else if (const auto* result = std::get_if<protocol::ResultMessageReply>(&caught.reply)) {
        caught.device = list.findByMac(protocol::formatMac(result->mac)).value_or(0);
        caught.heard = Heard::Result;
    }
    return caught;
}

bool acceptedAnswer(std::string_view resultText) {
    return resultText.starts_with("Setting OK");
}

void handleReply(devices::DeviceList& list, ReplyEvents& events,
                 std::span<const std::uint8_t> datagram, std::uint32_t sender) {
    const Catalogued caught = catalogue(list, datagram, protocol::Ipv4Address(sender));
    if (caught.heard == Heard::Listed) {
        const devices::ListedDevice& listed = list.device(caught.device);
        events.deviceListed(listed.name, listed.mac);
    } else if (caught.heard == Heard::Result) {
        const auto& result = std::get<protocol::ResultMessageReply>(caught.reply);
        // A device that is not listed has no name: it is named by its MAC text
        // alone, so the result is never attributed to a device reported before.
        const bool listed = caught.device != 0;
        const std::string unlisted = listed ? std::string() : protocol::formatMac(result.mac);
        events.resultReceived(listed ? std::string_view(list.device(caught.device).name) : "",
                              listed ? std::string_view(list.device(caught.device).mac) : unlisted,
                              result.text, acceptedAnswer(result.text));
    } else if (caught.heard == Heard::ListFull && list.noteDeviceLeftOut()) {
        events.listFull();
    }
}

void sendDiscoveryRequest(net::DatagramSender& sender, protocol::Ipv4Address source) {
    sender.send(source, protocol::kLimitedBroadcast, true, protocol::discoveryRequest());
}

}  // namespace kavren::usecases

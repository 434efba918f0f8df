// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicerecord.h"

#include <variant>

#include "protocol/ipv4.h"
#include "protocol/textcodecs.h"

namespace kavren::devices {

DeviceRecord deviceRecordOf(const protocol::DeviceInfoReply& reply) {
    return {.mac = protocol::formatMac(reply.mac),
            .name = reply.name,
            .version = reply.version,
            .deviceIp = protocol::Ipv4Address(reply.ip).text(),
            .mask = protocol::Ipv4Address(reply.mask).text(),
            .gateway = protocol::Ipv4Address(reply.gateway).text(),
            .description = reply.description};
}

std::optional<DeviceRecord> deviceRecordOf(std::span<const std::uint8_t> datagram) {
    const protocol::Reply reply = protocol::recognise(datagram);
    if (const auto* info = std::get_if<protocol::DeviceInfoReply>(&reply))
        return deviceRecordOf(*info);
    return std::nullopt;
}

}  // namespace kavren::devices

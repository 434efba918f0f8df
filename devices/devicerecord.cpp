// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicerecord.h"

#include <variant>

#include "protocol/textcodecs.h"

namespace kavren::devices {

DeviceRecord deviceRecordOf(const protocol::DeviceInfoReply& reply) {
    return {.mac = protocol::formatMac(reply.mac),
            .name = reply.name,
            .version = reply.version,
            .deviceIp = protocol::formatDotted(reply.ip),
            .mask = protocol::formatDotted(reply.mask),
            .gateway = protocol::formatDotted(reply.gateway),
            .description = reply.description};
}

std::optional<DeviceRecord> deviceRecordOf(std::span<const std::uint8_t> datagram) {
    const protocol::Reply reply = protocol::recognise(datagram);
    if (const auto* info = std::get_if<protocol::DeviceInfoReply>(&reply))
        return deviceRecordOf(*info);
    return std::nullopt;
}

}  // namespace kavren::devices

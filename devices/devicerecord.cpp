// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicerecord.h"

#include <variant>

#include "protocol/textcodecs.h"

namespace kavren {

DeviceRecord deviceRecordOf(const packet::DeviceInfoReply& reply) {
    return {.mac = codec::formatMac(reply.mac),
            .name = reply.name,
            .version = reply.version,
            .deviceIp = codec::formatDotted(reply.ip),
            .mask = codec::formatDotted(reply.mask),
            .gateway = codec::formatDotted(reply.gateway),
            .description = reply.description};
}

std::optional<DeviceRecord> deviceRecordOf(std::span<const std::uint8_t> datagram) {
    const packet::Reply reply = packet::recognise(datagram);
    if (const auto* info = std::get_if<packet::DeviceInfoReply>(&reply))
        return deviceRecordOf(*info);
    return std::nullopt;
}

}  // namespace kavren

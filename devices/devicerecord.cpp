// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/devicerecord.h"

#include "protocol/textcodecs.h"

namespace kavren::devices {

DeviceRecord deviceRecordOf(const protocol::DeviceInfoReply& reply) {
    return {.mac = protocol::formatMac(reply.mac),
            .name = reply.name,
            .version = reply.version,
            .deviceIp = protocol::Ipv4Address(reply.ip),
            .mask = protocol::Ipv4Address(reply.mask),
            .gateway = protocol::Ipv4Address(reply.gateway),
            .description = reply.description};
}

bool reportsSettings(const DeviceRecord& found, const DeviceSettings& target) {
    return found.deviceIp == target.ip && found.mask == target.mask &&
           found.gateway == target.gateway &&
           found.description ==
               std::string_view(target.description).substr(0, protocol::kConfigDescriptionWidth);
}

}  // namespace kavren::devices

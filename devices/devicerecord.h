// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/packets.h"

namespace kavren::devices {

// One device as its information reply describes it, in the texts both front
// ends show: the MAC as "00-1A-2B-3C-4D-5E", addresses dotted, the device's
// own texts as their bytes. DeviceList keeps one per listed device.
struct DeviceRecord {
    std::string mac;
    std::string name;
    std::string version;
    std::string deviceIp;
    std::string mask;
    std::string gateway;
    std::string description;
};

DeviceRecord deviceRecordOf(const protocol::DeviceInfoReply& reply);

}  // namespace kavren::devices

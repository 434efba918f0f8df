// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/ipv4.h"
#include "protocol/packets.h"

namespace kavren::devices {

// One device as its information reply describes it: the MAC as the text
// both front ends show ("00-1A-2B-3C-4D-5E"), the device's own texts as their
// bytes, and its addresses as values; they become texts only where a person
// reads them. A record made from a reply holds all three addresses; one put
// together by hand (a tool, a test) may leave some unknown.
struct DeviceRecord {
    std::string mac;
    std::string name;
    std::string version;
    std::optional<protocol::Ipv4Address> deviceIp;
    std::optional<protocol::Ipv4Address> mask;
    std::optional<protocol::Ipv4Address> gateway;
    std::string description;
};

// The settings a configuration request carries: the three addresses as
// values (nothing where none is known, or where a text named none) and the
// description as device bytes.
struct DeviceSettings {
    std::optional<protocol::Ipv4Address> ip;
    std::optional<protocol::Ipv4Address> mask;
    std::optional<protocol::Ipv4Address> gateway;
    std::string description;

    bool operator==(const DeviceSettings&) const = default;
};

// The settings a device reports now.
inline DeviceSettings settingsOf(const DeviceRecord& record) {
    return {record.deviceIp, record.mask, record.gateway, record.description};
}

// Whether a device reports these settings, as it would once it took them
// (the description is cut to the request's field).
bool reportsSettings(const DeviceRecord& found, const DeviceSettings& target);

// An address as a person reads it: dotted, or empty when it is not known.
inline std::string addressText(const std::optional<protocol::Ipv4Address>& address) {
    return address ? address->text() : std::string();
}

DeviceRecord deviceRecordOf(const protocol::DeviceInfoReply& reply);

}  // namespace kavren::devices

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/bytes.h"

namespace kavren::protocol {

inline constexpr std::uint16_t kDevicePort = 62630;  // requests go here
inline constexpr std::uint16_t kHostPort = 62631;    // replies come back here

inline constexpr std::string_view kMagic = "KAVRENut";

// Every endpoint that takes replies receives into a buffer of this size: a
// reply is at most 112 bytes, and a longer datagram is cut here, so nothing
// queued for handling is ever larger.
inline constexpr std::size_t kReceiveBufferSize = 1024;

// Header, common to every packet.
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kOpcodeOffset = 8;  // byte 8 is 0x00, byte 9 the kind code
inline constexpr std::size_t kKindOffset = 9;
inline constexpr std::size_t kMacOffset = 10;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kMinimumSize = 10;  // magic and opcode

inline constexpr std::uint8_t kKindDiscovery = 0x16;
inline constexpr std::uint8_t kKindDeviceInfo = 0x70;
inline constexpr std::uint8_t kKindResult = 0x30;
inline constexpr std::uint8_t kKindConfig = 0x90;

inline constexpr std::size_t kDiscoverySize = 16;

// Device information reply.
inline constexpr std::size_t kInfoIpOffset = 20;
inline constexpr std::size_t kInfoMaskOffset = 24;
inline constexpr std::size_t kInfoGatewayOffset = 28;
inline constexpr std::size_t kInfoNameOffset = 32;
inline constexpr std::size_t kInfoNameWidth = 32;
inline constexpr std::size_t kInfoVersionOffset = 64;
inline constexpr std::size_t kInfoVersionWidth = 16;
inline constexpr std::size_t kInfoDescriptionOffset = 80;
inline constexpr std::size_t kInfoDescriptionWidth = 32;
inline constexpr std::size_t kInfoSize = 112;

// Result message reply.
inline constexpr std::size_t kResultTextOffset = 16;
inline constexpr std::size_t kResultTextWidth = 32;
inline constexpr std::size_t kResultSize = 48;

// Configuration request.
inline constexpr std::size_t kConfigIpOffset = 20;
inline constexpr std::size_t kConfigMaskOffset = 24;
inline constexpr std::size_t kConfigGatewayOffset = 28;
inline constexpr std::size_t kConfigDescriptionOffset = 32;
inline constexpr std::size_t kConfigDescriptionWidth = 32;
inline constexpr std::size_t kConfigCurrentPasswordOffset = 64;
inline constexpr std::size_t kConfigNewPasswordOffset = 80;
inline constexpr std::size_t kPasswordWidth = 16;
inline constexpr std::size_t kConfigSize = 98;

using DiscoveryRequest = std::array<std::uint8_t, kDiscoverySize>;
using ConfigRequest = std::array<std::uint8_t, kConfigSize>;
using ScrambledPassword = std::array<std::uint8_t, kPasswordWidth>;

struct DeviceInfoReply {
    MacBytes mac{};
    Ipv4Bytes ip{};
    Ipv4Bytes mask{};
    Ipv4Bytes gateway{};
    std::string name;
    std::string version;
    std::string description;
};

struct ResultMessageReply {
    MacBytes mac{};
    std::string text;
};

struct NotAReply {};

using Reply = std::variant<NotAReply, DeviceInfoReply, ResultMessageReply>;

// What a configuration request carries, before scrambling.
struct ConfigFields {
    MacBytes mac{};
    Ipv4Bytes ip{};
    Ipv4Bytes mask{};
    Ipv4Bytes gateway{};
    std::string description;
    std::string currentPassword;
    std::string newPassword;
};

// The discovery request: the same sixteen bytes for every Refresh and every
// round, built on first use and then shared.
const DiscoveryRequest& discoveryRequest();
Reply recognise(std::span<const std::uint8_t> datagram);
ConfigRequest buildConfigRequest(const ConfigFields& fields);

std::uint8_t scrambleByte(std::uint8_t b);
// First 16 bytes of the text, zero-padded, each byte scrambled.
ScrambledPassword scramblePassword(std::string_view password);

}  // namespace kavren::protocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/packets.h"

namespace kavren::protocol {

namespace {

void writeHeader(ByteWriter& out, std::uint8_t kind) {
    out.text(kMagicOffset, kMagic.size(), kMagic);
    // The opcode is the little-endian number 0xNN00: on the wire the zero
    // byte comes first and the kind code second.
    out.byte(kOpcodeOffset, 0x00);
    out.byte(kKindOffset, kind);
}

bool hasMagic(const ByteReader& in) {
    // Compared as a zero-terminated text, so byte 8 must be the terminator.
    for (std::size_t i = 0; i < kMagic.size(); ++i) {
        if (in.byte(kMagicOffset + i) != static_cast<std::uint8_t>(kMagic[i]))
            return false;
    }
    return in.byte(kOpcodeOffset) == 0x00;
}

}  // namespace

const DiscoveryRequest& discoveryRequest() {
    static const DiscoveryRequest request = [] {
        DiscoveryRequest bytes{};
        ByteWriter out(bytes);
        writeHeader(out, kKindDiscovery);
        for (std::size_t i = 0; i < 6; ++i)
            out.byte(kMacOffset + i, 0xFF);
        return bytes;
    }();
    return request;
}

// A reply shorter than its record size is accepted, and the fields it lacks
// read as zero bytes (so a text cut short simply ends there). Devices with
// older firmware that send a trimmed record are still listed; the reader never
// looks past the bytes that arrived.
Reply recognise(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kMinimumSize)
        return NotAReply{};
    const ByteReader in(datagram);
    if (!hasMagic(in))
        return NotAReply{};

    switch (in.byte(kKindOffset)) {
        case kKindDeviceInfo: {
            DeviceInfoReply reply;
            reply.mac = in.bytes<6>(kMacOffset);
            reply.ip = in.bytes<4>(kInfoIpOffset);
            reply.mask = in.bytes<4>(kInfoMaskOffset);
            reply.gateway = in.bytes<4>(kInfoGatewayOffset);
            reply.name = in.text(kInfoNameOffset, kInfoNameWidth);
            reply.version = in.text(kInfoVersionOffset, kInfoVersionWidth);
            reply.description = in.text(kInfoDescriptionOffset, kInfoDescriptionWidth);
            return reply;
        }
        case kKindResult: {
            ResultMessageReply reply;
            reply.mac = in.bytes<6>(kMacOffset);
            reply.text = in.text(kResultTextOffset, kResultTextWidth);
            return reply;
        }
        default:
            return NotAReply{};
    }
}

ConfigRequest buildConfigRequest(const ConfigFields& fields) {
    ConfigRequest request{};
    ByteWriter out(request);
    writeHeader(out, kKindConfig);
    out.bytes(kMacOffset, fields.mac);
    out.bytes(kConfigIpOffset, fields.ip);
    out.bytes(kConfigMaskOffset, fields.mask);
    out.bytes(kConfigGatewayOffset, fields.gateway);
    out.text(kConfigDescriptionOffset, kConfigDescriptionWidth, fields.description);
    ScrambledPassword current = scramblePassword(fields.currentPassword);
    out.bytes(kConfigCurrentPasswordOffset, current);
    current.fill(0);  // do not leave the secret on the stack
    out.bytes(kConfigNewPasswordOffset, scramblePassword(fields.newPassword));
    return request;
}

std::uint8_t scrambleByte(std::uint8_t b) {
    // The upper half of the result is the lower half of b; the lower half is
    // b's upper half after an arithmetic shift, so bytes from 0x80 up give
    // 0xF_ (0xE9 becomes 0xFE). Devices undo exactly this, sign and all.
    const auto low = static_cast<std::uint8_t>((b << 4) & 0xF0);
    const auto high = static_cast<std::uint8_t>(static_cast<std::int8_t>(b) >> 4);
    return static_cast<std::uint8_t>(low | high);
}

ScrambledPassword scramblePassword(std::string_view password) {
    ScrambledPassword out{};
    const std::size_t n = password.size() < kPasswordWidth ? password.size() : kPasswordWidth;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = scrambleByte(static_cast<std::uint8_t>(password[i]));
    return out;
}

}  // namespace kavren::protocol

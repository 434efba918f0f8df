// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/configuration.h"

#include "devices/addressindex.h"
#include "protocol/textcodecs.h"
#include "usecases/secretwipe.h"

namespace kavren::usecases {

namespace {

// Writes the parsed value when the text is valid; reports whether it was.
bool parseAddressInto(std::string_view text, protocol::Ipv4Bytes& out) {
    const auto parsed = protocol::Ipv4Address::parse(text);
    if (parsed)
        out = parsed->bytes();
    return parsed.has_value();
}

}  // namespace

CheckedSettings::~CheckedSettings() {
    wipeString(fields.newPassword);
}

// The fields are copied, not moved: a moved short string can leave its bytes
// in the source, and the source's password is wiped where it stands.
CheckedSettings::CheckedSettings(CheckedSettings&& other) noexcept
    : fields(other.fields),  // NOLINT(performance-move-constructor-init)
      destination(other.destination),
      broadcast(other.broadcast) {
    wipeString(other.fields.newPassword);
}

std::optional<CheckedSettings> checkSettings(const SettingsText& text, bool broadcast) {
    CheckedSettings checked;
    checked.broadcast = broadcast;
    checked.fields.mac = protocol::parseMac(text.mac);
    // All three are parsed even after one has failed; the user gets one
    // message for the row however many were wrong.
    bool valid = true;
    valid &= parseAddressInto(text.ip, checked.fields.ip);
    valid &= parseAddressInto(text.mask, checked.fields.mask);
    valid &= parseAddressInto(text.gateway, checked.fields.gateway);
    checked.fields.description = text.description;
    checked.fields.newPassword = text.newPassword;

    // A listed device always has an address, but one given as a text that
    // names none leaves nothing to send to. It counts as one more invalid
    // address; under broadcast it is not used and not judged.
    checked.destination = protocol::kLimitedBroadcast;
    if (!broadcast) {
        if (text.deviceIp) {
            checked.destination = *text.deviceIp;
        } else {
            valid = false;
        }
    }
    if (!valid)
        return std::nullopt;
    return checked;
}

std::optional<std::string> newPasswordError(std::string_view bytes) {
    if (bytes.size() > protocol::kPasswordWidth) {
        return "new password longer than " + std::to_string(protocol::kPasswordWidth) +
               " bytes; the device would keep only part of it";
    }
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0))
            return std::string("new password holds a control character");
    }
    return std::nullopt;
}

Route routeTo(const SettingsText& text, const Adapter& adapter, Delivery delivery) {
    // A device cannot be reached by unicast from an adapter whose subnet
    // does not hold its address: the host has no route, or one through the
    // wrong adapter.
    const bool outsideSubnet = adapter.mask && text.deviceIp &&
                               !devices::sameSubnet(*text.deviceIp, adapter.address, *adapter.mask);
    // Only a broadcast reaches such a device, and a broadcast hands the
    // scrambled password to every host on the segment: the user decides.
    if (outsideSubnet && delivery == Delivery::UnicastWithinSubnet)
        return {
            .request = std::nullopt, .refusal = RouteRefusal::OutsideSubnet, .outsideSubnet = true};
    std::optional<CheckedSettings> request = checkSettings(text, delivery == Delivery::Broadcast);
    const RouteRefusal refusal = request ? RouteRefusal::None : RouteRefusal::AddressError;
    return {.request = std::move(request), .refusal = refusal, .outsideSubnet = outsideSubnet};
}

ConfigurationRequest::ConfigurationRequest(const CheckedSettings& settings,
                                           const std::string& currentPassword)
    : m_bytes(build(settings, currentPassword)) {}

// Returned as it is built, so no copy of the bytes is left behind unwiped.
protocol::ConfigRequest ConfigurationRequest::build(const CheckedSettings& settings,
                                                    const std::string& currentPassword) {
    protocol::ConfigFields fields = settings.fields;
    const StringWiper wipeCurrent(fields.currentPassword);
    const StringWiper wipeNew(fields.newPassword);
    fields.currentPassword = currentPassword;
    return protocol::buildConfigRequest(fields);
}

ConfigurationRequest::~ConfigurationRequest() {
    wipeBytes(m_bytes);
}

void sendConfiguration(const CheckedSettings& settings, const std::string& currentPassword,
                       net::DatagramSender& sender) {
    const ConfigurationRequest request(settings, currentPassword);
    sender.send(settings.destination, settings.broadcast, request.bytes());
}

}  // namespace kavren::usecases

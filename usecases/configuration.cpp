// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/configuration.h"

#include "devices/addressindex.h"
#include "protocol/textcodecs.h"
#include "usecases/secretwipe.h"

namespace kavren::usecases {

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

std::optional<CheckedSettings> checkSettings(const SettingsRequest& request, bool broadcast) {
    const devices::DeviceSettings& target = request.target;
    if (!target.ip || !target.mask || !target.gateway)
        return std::nullopt;
    CheckedSettings checked;
    checked.broadcast = broadcast;
    checked.fields.mac = protocol::parseMac(request.mac);
    checked.fields.ip = target.ip->bytes();
    checked.fields.mask = target.mask->bytes();
    checked.fields.gateway = target.gateway->bytes();
    checked.fields.description = target.description;
    checked.fields.newPassword = request.newPassword;

    // A listed device always has an address, but one given as a text that
    // names none leaves nothing to send to: the same answer as a missing
    // address. Under broadcast it is not used and not judged.
    checked.destination = protocol::kLimitedBroadcast;
    if (!broadcast) {
        if (!request.deviceIp)
            return std::nullopt;
        checked.destination = *request.deviceIp;
    }
    return checked;
}

NewPasswordProblem newPasswordProblem(std::string_view bytes) {
    if (bytes.size() > protocol::kPasswordWidth)
        return NewPasswordProblem::TooLong;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0))
            return NewPasswordProblem::ControlCharacter;
    }
    return NewPasswordProblem::None;
}

Route routeTo(const SettingsRequest& request, const Adapter& adapter, Delivery delivery) {
    // A device cannot be reached by unicast from an adapter whose subnet
    // does not hold its address: the host has no route, or one through the
    // wrong adapter.
    const bool outsideSubnet =
        adapter.mask && request.deviceIp &&
        !devices::sameSubnet(*request.deviceIp, adapter.address, *adapter.mask);
    // Only a broadcast reaches such a device, and a broadcast hands the
    // scrambled password to every host on the segment: the user decides.
    if (outsideSubnet && delivery == Delivery::UnicastWithinSubnet)
        return {
            .request = std::nullopt, .refusal = RouteRefusal::OutsideSubnet, .outsideSubnet = true};
    std::optional<CheckedSettings> checked =
        checkSettings(request, delivery == Delivery::Broadcast);
    const RouteRefusal refusal = checked ? RouteRefusal::None : RouteRefusal::AddressError;
    return {.request = std::move(checked), .refusal = refusal, .outsideSubnet = outsideSubnet};
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
                       net::DatagramSender& sender, protocol::Ipv4Address source) {
    const ConfigurationRequest request(settings, currentPassword);
    sender.send(source, settings.destination, settings.broadcast, request.bytes());
}

}  // namespace kavren::usecases

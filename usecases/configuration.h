// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "devices/devicerecord.h"
#include "net/sender.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"

namespace kavren::usecases {

// One request as asked: the device (its MAC text and the DeviceIP it answers
// at, nothing when that is not known) and the settings it is to take, whose
// addresses were parsed where they were typed or read.
struct SettingsRequest {
    std::string_view mac{};
    std::optional<protocol::Ipv4Address> deviceIp{};
    devices::DeviceSettings target{};
    std::string_view newPassword{};
};

// Why a new password (device bytes) cannot be set.
enum class NewPasswordProblem {
    None,
    TooLong,           // longer than the packet's password field, which would cut it
                       // and lock the device to a password nobody typed
    ControlCharacter,  // nobody can type it again at a prompt
};
NewPasswordProblem newPasswordProblem(std::string_view bytes);

// Settings that passed the checks: every field parsed and where the request
// goes. The new password it holds is wiped when it is destroyed.
class CheckedSettings final {
public:
    CheckedSettings() = default;
    ~CheckedSettings();
    CheckedSettings(const CheckedSettings&) = delete;
    CheckedSettings& operator=(const CheckedSettings&) = delete;
    CheckedSettings(CheckedSettings&& other) noexcept;
    CheckedSettings& operator=(CheckedSettings&&) = delete;

    protocol::ConfigFields fields;      // the current password stays empty here
    protocol::Ipv4Address destination;  // the DeviceIP, or protocol::kLimitedBroadcast
    bool broadcast = false;
};

// Takes the three addresses, and the DeviceIP unless the request is
// broadcast. All are judged, so one missing address or three give the same
// single answer: nothing (the window says "IP address Error !!").
std::optional<CheckedSettings> checkSettings(const SettingsRequest& request, bool broadcast);

// The local adapter a request leaves from: its address and, when the system
// reported one, its net mask. Asked of the system once per run.
struct Adapter {
    protocol::Ipv4Address address;
    std::optional<protocol::Ipv4Address> mask;
};

// How a front end lets its requests go; the one difference between the
// window's update and the command line's run.
enum class Delivery {
    // Unicast to the DeviceIP, wherever it lies: the window's update, which
    // marks an address outside the adapter's subnet but sends as told.
    Unicast,
    // Unicast, and a device outside the adapter's subnet is not sent to:
    // only a broadcast would reach it, and that is the user's call.
    UnicastWithinSubnet,
    // Every request by broadcast (Control Packet Force Broadcast, or the
    // command line's --broadcast).
    Broadcast,
};

// Why a request is not sent.
enum class RouteRefusal {
    None,
    OutsideSubnet,  // only a broadcast reaches the device, and none is allowed
    AddressError,   // an address or the DeviceIP is not known
};

struct Route {
    std::optional<CheckedSettings> request;  // with its destination; empty when refused
    RouteRefusal refusal = RouteRefusal::None;
    // The DeviceIP lies outside the adapter's subnet (told also when the
    // request goes all the same, by broadcast).
    bool outsideSubnet = false;
};

// The one decision on whether and how a request goes: the settings checked,
// and their destination by `delivery` from `adapter`.
Route routeTo(const SettingsRequest& request, const Adapter& adapter, Delivery delivery);

// One configuration request, built with the device's current password. Its
// bytes carry both passwords, scrambled, and are wiped when it is destroyed,
// also when a send throws (its error goes on unchanged). The caller wipes
// its own copy of the password.
class ConfigurationRequest final {
public:
    ConfigurationRequest(const CheckedSettings& settings, const std::string& currentPassword);
    ~ConfigurationRequest();
    ConfigurationRequest(const ConfigurationRequest&) = delete;
    ConfigurationRequest& operator=(const ConfigurationRequest&) = delete;

    std::span<const std::uint8_t> bytes() const { return m_bytes; }

private:
    static protocol::ConfigRequest build(const CheckedSettings& settings,
                                         const std::string& currentPassword);

    protocol::ConfigRequest m_bytes;
};

// Builds the request and hands it to the sender, from the adapter address
// `source` to the settings' destination: the window's update and the
// command line's run alike.
void sendConfiguration(const CheckedSettings& settings, const std::string& currentPassword,
                       net::DatagramSender& sender, protocol::Ipv4Address source);

}  // namespace kavren::usecases

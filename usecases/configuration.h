// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/sender.h"
#include "protocol/ipv4.h"
#include "protocol/packets.h"

namespace kavren::usecases {

// The settings of one device as the user typed them (a listed device, a plan
// line), and the address the device reported (nothing when the text it was
// given names no address).
struct SettingsText {
    std::string_view mac{};
    std::optional<protocol::Ipv4Address> deviceIp{};
    std::string_view ip{};
    std::string_view mask{};
    std::string_view gateway{};
    std::string_view description{};
    std::string_view newPassword{};
};

// A password the device could not take as it is: a character beyond Latin-1
// (every source converts with protocol::latin1FromUtf8 and refuses rather than
// substituting).
inline constexpr std::string_view kPasswordCharsetError =
    "The password holds a character outside Latin-1, which the device cannot take.";

// Why a new password (device bytes) cannot be set, or nothing: longer than
// the packet's password field, which would cut it and lock the device to a
// password nobody typed, or holding a control character nobody can type
// again at a prompt.
std::optional<std::string> newPasswordError(std::string_view bytes);

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

// Parses the MAC and the three addresses, and the DeviceIP unless the
// request is broadcast. All are judged, so one bad text or three give the
// same single answer: nothing (the caller says "IP address Error !!").
std::optional<CheckedSettings> checkSettings(const SettingsText& text, bool broadcast);

// Builds the request with the device's current password, hands it to the
// sender and wipes its copies of the passwords and the request's bytes
// afterwards, also when the sender throws (its error goes on unchanged).
// The caller wipes its own copy of the password.
void sendConfiguration(const CheckedSettings& settings, const std::string& currentPassword,
                       net::DatagramSender& sender);

}  // namespace kavren::usecases

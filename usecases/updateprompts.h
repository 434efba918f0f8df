// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/devicelist.h"

namespace kavren::usecases {

// Why the update of a device ends before its request goes out. Each front
// end puts it into its own words.
enum class UpdateStop {
    AddressError,       // a setting is no IPv4 address, or the address rules refuse it
    Cancelled,          // the user gave no password
    PasswordNotLatin1,  // the password typed has a character outside Latin-1
};

// What the update logic asks of the user: a reason to acknowledge, the
// confirmation of one device with its password, the choice of devices.
// Kept free of any toolkit so the update steps can be tested with a fake.
class UpdatePrompts {
public:
    virtual ~UpdatePrompts() = default;

    // Tells the user why the update of a device ends there, and returns once
    // the user has seen it.
    virtual void stopped(UpdateStop reason) = 0;

    // Asks the user to confirm the settings of device `row` of `list` and
    // returns the current password typed, as UTF-8 (the update converts it
    // to the device's bytes, as every other password source is). An empty
    // text means the user cancelled.
    virtual std::string confirm(const devices::DeviceList& list, int row) = 0;

    // Whether the confirmation that follows offers to use its password for
    // the devices that remain in the run (Update Multi and Update All while
    // more than one device remains); off unless asked for.
    virtual void offerRunPassword(bool offer) { static_cast<void>(offer); }
    // After a confirmation: whether the user took that offer.
    virtual bool runPasswordTaken() const { return false; }

    // Forgets the typed password, so the next confirmation starts empty.
    virtual void clearPassword() = 0;

    // Lets the user choose among the devices of `list` (none chosen at
    // first). Returns the indexes of the chosen devices in list order (index
    // i is device i + 1), or std::nullopt when the user declined; nothing of
    // the list is kept on return.
    virtual std::optional<std::vector<int>> selectDevices(const devices::DeviceList& list) = 0;
};

}  // namespace kavren::usecases

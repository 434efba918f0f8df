// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devices/devicelist.h"

#include "usecases/configuration.h"
#include "usecases/configurationrun.h"
#include "usecases/devicecsv.h"

namespace kavren::wording {

// What the window's message boxes and kavren's lines say alike.
inline constexpr std::string_view kAddressError = "IP address Error !!";
inline constexpr std::string_view kCancelled = "Cancel Configuration";
// A password the device could not take as it is: a character beyond Latin-1
// (every source converts with protocol::latin1FromUtf8 and refuses rather
// than substituting).
inline constexpr std::string_view kPasswordCharsetError =
    "The password holds a character outside Latin-1, which the device cannot take.";
inline constexpr std::string_view kDeviceListFull =
    "Device list full: further devices are not listed.";

// The confirmation of device `row` before its update: the caption
// "name (MAC)" and the setting lines, "Setting info :" then one
// "%-15s \t: %s" line per field ("No Change" for an empty new password).
std::string confirmationCaption(const devices::DeviceList& list, int row);
std::vector<std::string> confirmationLines(const devices::DeviceList& list, int row);
// "%s - %s (%s) ": device number, device name, MAC text, trailing space;
// one line of the device selection.
std::string selectionItem(const devices::DeviceList& list, int row);

// Every sender of the device, "a, b and c".
std::string claimantsText(const usecases::FoundDevice& device);

// Why a new password cannot be set; empty for NewPasswordProblem::None.
std::string newPasswordText(usecases::NewPasswordProblem problem);

// "line N: ...": why a CSV text cannot be used.
std::string csvErrorText(const usecases::CsvError& error);

// Why the job of `device` towards `target` failed or was not sent: the
// front end's own words when it gave some, otherwise the run's value put
// into words; empty when there is nothing to say.
std::string reasonText(const usecases::FoundDevice& device, const devices::DeviceSettings& target,
                       const usecases::JobResult& result);

}  // namespace kavren::wording

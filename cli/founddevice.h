// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "usecases/founddevice.h"

namespace kavren::cli {

// The device core's record of a found device and its claims, under the
// names the command line has always used.
using kavren::addClaim;
using kavren::claimantsText;
using kavren::DeviceSettings;
using kavren::FoundDevice;
using kavren::reportsSettings;
using kavren::trustedClaim;

}  // namespace kavren::cli

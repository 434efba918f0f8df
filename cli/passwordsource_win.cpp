// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/passwordsource.h"

namespace kavren::cli {

// Access to a file on Windows is its access list, which has no mode bits to
// name; the files under the user's profile are private by inheritance.
std::optional<unsigned> modeReadableByOthers(const std::string&) {
    return std::nullopt;
}

}  // namespace kavren::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kavren::app {

// The application title, worked out from the running executable's file name:
// the folder part goes, the name is cut at its first ".", and every character
// after the first is lower-cased ("Kavren_Utility.exe" gives "Kavren_utility").
// Both "/" and "\\" end a folder part, so a Windows path gives the same title.
std::string applicationTitle(std::string_view executablePath);

}  // namespace kavren::app

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <istream>

namespace kavren::lab {

// True when a route table in the form of /proc/net/route (a title line,
// then one route a line with hexadecimal destination and mask) holds a
// default route: destination and mask both zero. The guard of each
// platform reads the table its own way and asks this.
bool routesHaveDefault(std::istream& routes);

}  // namespace kavren::lab

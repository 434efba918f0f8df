// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavren::cli {

// Short explanations for a discovery that found nothing, for standard error.
// Each is best effort: what cannot be read is left out or said to be unknown.

// "pid 1234 (name)" for every process holding a UDP socket on `port`.
std::vector<std::string> udpPortHolders(std::uint16_t port);

// Firewall rules that mention one of the ports and drop or reject, as
// nft or iptables-save print them; nothing when none or unreadable. The
// programs run without the environment variables `withheld` (those that
// hold a password).
std::vector<std::string> firewallRulesFor(const std::vector<std::uint16_t>& ports, bool& readable,
                                          const std::vector<std::string>& withheld = {});

// How to open the reply port with the firewall profiles the package installs.
std::vector<std::string> firewallProfileHints();

}  // namespace kavren::cli

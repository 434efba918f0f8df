// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace kavren::lab {

// One counter of the "Udp:" lines of /proc/net/snmp in the caller's network
// namespace (what `nstat` reports as Udp<name>); -1 when it cannot be read.
// Tests and benchmarks compare it before and after a burst to tell datagrams
// the kernel dropped from ones the program lost.
std::int64_t udpCounter(std::string_view name);

// Datagrams dropped because a receive buffer was full ("RcvbufErrors").
inline std::int64_t udpReceiveBufferErrors() {
    return udpCounter("RcvbufErrors");
}

}  // namespace kavren::lab

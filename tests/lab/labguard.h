// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include <gtest/gtest.h>

namespace kavren::lab {

// The lab's addresses (tools/lab/lab.sh): the host namespace's end of
// segments A and B, and the device namespace's end of segment A.
inline constexpr const char* kHostA = "198.18.0.1";
inline constexpr const char* kHostB = "198.19.0.1";
inline constexpr const char* kNodeA = "198.18.0.2";

// True when the calling process runs inside a lab namespace of
// tools/lab/lab.sh: KAVREN_LAB=1 is set, the network namespace is not the
// machine's own, and only the loopback and the lab's veth links exist with
// no default route, so no datagram can leave. Otherwise false, with the
// reason in *why (when why is not null).
bool isIsolated(std::string* why);

// The reason text without the check, for messages.
std::string notIsolatedMessage(const std::string& why);

}  // namespace kavren::lab

// First statement of every test that sends: fails the test, before anything
// is sent, when it does not run inside the lab.
#define KAVREN_REQUIRE_LAB()                                                 \
    do {                                                                     \
        std::string kavrenLabWhy;                                            \
        if (!::kavren::lab::isIsolated(&kavrenLabWhy)) {                     \
            GTEST_FAIL() << ::kavren::lab::notIsolatedMessage(kavrenLabWhy); \
        }                                                                    \
    } while (false)

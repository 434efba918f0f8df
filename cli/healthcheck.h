// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace kavren::cli {

// A user's command that tells whether a changed device still works from
// where it matters (a ping through the gateway, a fetch of its web page).
struct HealthCheck {
    std::string command;  // run through /bin/sh -c (cmd.exe /c on Windows)
    std::chrono::milliseconds timeout{10000};
    // Environment variables holding a password: the command never sees them.
    std::vector<std::string> withheld;
};

// Runs the check with `variables` added to kavren's own environment, its
// standard output going to standard error so that kavren's output stays its
// own, and its standard input empty. A check that outlives the time-out is
// ended with every process it started. Returns an empty text when it exited
// with status 0, else why not ("exited with status 3", "timed out after 10 s").
std::string runHealthCheck(const HealthCheck& check,
                           const std::vector<std::pair<std::string, std::string>>& variables);

// "timed out after S s" with the time-out as the user gave it.
std::string checkTimeoutText(std::chrono::milliseconds timeout);

}  // namespace kavren::cli

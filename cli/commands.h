// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace kavren::cli {

// Exit statuses of every command.
enum ExitStatus : int {
    ExitOk = 0,      // done; for discover: devices were found
    ExitFailed = 1,  // nothing found, a device failed, or the plan has errors
    ExitUsage = 2,   // the command line could not be used
};

// Runs "kavren COMMAND ..." with the whole argument list (program name
// first) and returns the exit status.
int runCommand(const QStringList& arguments);

}  // namespace kavren::cli

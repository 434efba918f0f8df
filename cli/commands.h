// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include "cli/command.h"

namespace kavren::cli {

// Runs "kavren COMMAND ..." with the whole argument list (program name
// first): the named command, the overview (--help) or the version. Returns
// the exit status (ExitStatus in cli/command.h).
int runCommand(const QStringList& arguments);

}  // namespace kavren::cli

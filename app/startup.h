// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavren::app {

// The program: the application object, the three windows in their order,
// the event loop, and the windows taken down again in reverse order. Returns
// 0 in every case, also after a failed start.
int runProgram(int argc, char** argv);

}  // namespace kavren::app

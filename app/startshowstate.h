// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavren::app {

// How the program was asked to show its first window by whoever started it
// (on Windows the show state of the start-up information: a shortcut set to
// "Maximized" or "Minimized"); one file per platform.
enum class StartShowState { Normal, Maximised, Minimised };

StartShowState startShowState();

}  // namespace kavren::app

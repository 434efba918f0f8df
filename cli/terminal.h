// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace kavren::cli {

// The console, one file per platform (terminal_posix.cpp, terminal_win.cpp).

// Shows `promptText` on the console and reads one line with echo off; the
// console's settings are put back also when reading fails. nullopt with a
// reason in `error` when there is no console or nothing was typed. The line
// comes without its line end.
std::optional<std::string> readHiddenLine(const std::string& promptText, std::string& error);

// What readHiddenLine returns for the bytes read: nothing when the input ran
// out before a line end with nothing typed; the line without trailing
// carriage returns otherwise. Shared by the platform files.
std::optional<std::string> finishedLine(std::string line, bool ended, std::string& error);

// True when standard error is a console, where a progress line can be
// rewritten in place.
bool standardErrorIsTerminal();

}  // namespace kavren::cli

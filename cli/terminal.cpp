// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminal.h"

namespace kavren::cli {

std::optional<std::string> finishedLine(std::string line, bool ended, std::string& error) {
    if (!ended && line.empty()) {
        error = "no password was typed";
        return std::nullopt;
    }
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace kavren::cli

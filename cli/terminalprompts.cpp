// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminalprompts.h"

namespace kavren::cli {

// The confirmation lines show the new password readable, so they are not
// printed: the caller has already shown its own preview without it.
std::string TerminalPrompts::confirm(std::string_view, const std::vector<std::string>&) {
    m_confirmed = true;
    return m_password;
}

}  // namespace kavren::cli

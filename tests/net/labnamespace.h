// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace kavren::labtest {

// Runs `make` in the lab's named network namespace `name` (a device
// namespace), on a helper thread; the rest of the test stays where it is.
// Throws std::runtime_error when the namespace cannot be entered; a Windows
// program under Wine never can (labnamespace_win.cpp).
void runInNamespace(const char* name, const std::function<void()>& make);

}  // namespace kavren::labtest

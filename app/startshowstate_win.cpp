// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "app/startshowstate.h"

namespace kavren::app {

// Maximised for SW_SHOWMAXIMIZED; minimised for the minimised states a
// shortcut or "start /min" give (SW_SHOWMINNOACTIVE above all); otherwise the
// window's own size and place.
StartShowState startShowState() {
    STARTUPINFOW info{};
    info.cb = sizeof info;
    ::GetStartupInfoW(&info);
    if ((info.dwFlags & STARTF_USESHOWWINDOW) == 0)
        return StartShowState::Normal;
    switch (info.wShowWindow) {
        case SW_SHOWMAXIMIZED:
            return StartShowState::Maximised;
        case SW_SHOWMINNOACTIVE:
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            return StartShowState::Minimised;
        default:
            return StartShowState::Normal;
    }
}

}  // namespace kavren::app

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startshowstate.h"

namespace kavren::app {

// X11 and Wayland sessions hand a program no show state; the window manager
// decides.
StartShowState startShowState() {
    return StartShowState::Normal;
}

}  // namespace kavren::app

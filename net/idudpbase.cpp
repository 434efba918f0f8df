// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idudpbase.h"

namespace kavren::net {

void TIdUDPBase::setBroadcastEnabled(bool enabled) {
    if (enabled == m_broadcastEnabled)
        return;
    m_broadcastEnabled = enabled;
    if (isActive())
        applyBroadcastToOpenSockets();
}

void TIdUDPBase::setActive(bool active) {
    if (active == isActive())
        return;
    if (active) {
        openBinding();
    } else {
        closeBinding();
    }
}

}  // namespace kavren::net

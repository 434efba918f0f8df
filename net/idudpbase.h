// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "net/idsockethandle.h"
#include "net/socketapi.h"

namespace kavren::net {

// The base of both endpoints: the buffer size, the broadcast permission and
// the open/close switch.
class TIdUDPBase {
public:
    static constexpr int kDefaultBufferSize = 8192;

    TIdUDPBase() = default;
    virtual ~TIdUDPBase() = default;
    TIdUDPBase(const TIdUDPBase&) = delete;
    TIdUDPBase& operator=(const TIdUDPBase&) = delete;

    // Only receiving uses it: the size of the receive buffer.
    int bufferSize() const { return m_bufferSize; }
    void setBufferSize(int size) { m_bufferSize = size; }

    bool broadcastEnabled() const { return m_broadcastEnabled; }
    // A new value is set on every open socket at once; the same value again
    // does nothing.
    void setBroadcastEnabled(bool enabled);

    bool active() const { return isActive(); }
    void setActive(bool active);

protected:
    virtual void closeBinding() = 0;
    virtual bool isActive() const = 0;
    virtual void openBinding() = 0;
    virtual void applyBroadcastToOpenSockets() = 0;

private:
    // Both endpoints keep the platform's socket library started while they
    // exist: the first one starts it, the last one releases it.
    socketapi::LibraryUse m_library;
    int m_bufferSize = kDefaultBufferSize;
    bool m_broadcastEnabled = false;
};

}  // namespace kavren::net

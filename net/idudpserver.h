// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "net/deliveryqueue.h"
#include "net/idudpbase.h"
#include "net/idudplistenerthread.h"
#include "protocol/packets.h"

namespace kavren::net {

// The receiving endpoint: its bindings' sockets, the receive thread and the
// delivery queue. Open, close and deliverPending run on the user-interface
// thread; only the receive thread and OnWake run elsewhere.
class TIdUDPServer final : public TIdUDPBase {
public:
    static constexpr std::uint16_t kDefaultPort = protocol::kHostPort;
    // Asked for on every receiving socket so that a burst of replies waits in
    // the kernel instead of being dropped there; as root the system's cap is
    // passed over, otherwise the cap is what we get.
    static constexpr int kReceiveBufferRequest = 64 * 1024 * 1024;

    using ReadEvent = std::function<void(TIdUDPServer& sender, std::span<const std::uint8_t> data,
                                         TIdSocketHandle& binding)>;

    // One binding, "0.0.0.0" port 62631.
    explicit TIdUDPServer(std::size_t queueCapacity = DeliveryQueue::kDefaultCapacity);
    ~TIdUDPServer() override;

    // Run on the user-interface thread by deliverPending(), once per datagram.
    ReadEvent OnUDPRead;
    // Run on the receive thread whenever a receive call queued datagrams:
    // once per batch, not per datagram. Set before opening; it must only post
    // a call of deliverPending() to the user-interface thread.
    std::function<void()> OnWake;

    // The bindings, in order. Change them only while closed.
    std::size_t bindingCount() const { return m_bindings.size(); }
    TIdSocketHandle& binding(std::size_t index) { return *m_bindings.at(index); }
    TIdSocketHandle& addBinding();
    void clearBindings();
    // The first binding while open, none while closed.
    TIdSocketHandle* currentBinding() const { return m_currentBinding; }

    // Delivers up to maxEntries queued datagrams in arrival order, each to its
    // end before the next; returns true when more remain.
    bool deliverPending(std::size_t maxEntries);
    std::size_t pendingCount() const { return m_queue.size(); }

    ReceiveStatistics statistics() const;
    // The receive buffer size the system granted for the first binding
    // (as the system reports it), 0 before the first open.
    int grantedReceiveBuffer() const { return m_grantedReceiveBuffer; }

protected:
    void closeBinding() override;
    bool isActive() const override;
    void openBinding() override;
    void applyBroadcastToOpenSockets() override;

private:
    void closeSockets();

    std::vector<std::unique_ptr<TIdSocketHandle>> m_bindings;
    TIdSocketHandle* m_currentBinding = nullptr;
    DeliveryQueue m_queue;
    std::unique_ptr<TIdUDPListenerThread> m_thread;
    ReceiveStatistics m_lastStatistics;  // kept from the last run after close
    int m_grantedReceiveBuffer = 0;
    bool m_open = false;
    DeliveryEntry m_entry;  // reused by deliverPending
    bool m_delivering = false;
};

}  // namespace kavren::net

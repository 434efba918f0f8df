// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idudpserver.h"

#include "net/idsockethandle.h"

namespace kavren::net {

TIdUDPServer::TIdUDPServer(std::size_t queueCapacity) : m_queue(queueCapacity) {
    m_bindings.push_back(std::make_unique<TIdSocketHandle>(protocol::Ipv4Address(), kDefaultPort));
}

TIdUDPServer::~TIdUDPServer() {
    closeBinding();
}

TIdSocketHandle& TIdUDPServer::addBinding() {
    m_bindings.push_back(std::make_unique<TIdSocketHandle>());
    return *m_bindings.back();
}

void TIdUDPServer::clearBindings() {
    if (!m_open)
        m_bindings.clear();
}

bool TIdUDPServer::isActive() const {
    return m_open;
}

void TIdUDPServer::openBinding() {
    if (m_open)
        return;
    std::vector<TIdUDPListenerThread::Socket> sockets;
    try {
        for (std::size_t i = 0; i < m_bindings.size(); ++i) {
            TIdSocketHandle& handle = *m_bindings[i];
            handle.allocateSocket();
            const int granted = handle.enlargeReceiveBuffer(kReceiveBufferRequest);
            if (i == 0)
                m_grantedReceiveBuffer = granted;
            handle.bind();
            sockets.push_back({handle.handle(), &handle});
        }
        m_currentBinding = m_bindings.empty() ? nullptr : m_bindings.front().get();
        const auto bufferBytes = static_cast<std::size_t>(bufferSize() > 0 ? bufferSize() : 1);
        m_queue.resetSlotSize(bufferBytes);
        m_thread = std::make_unique<TIdUDPListenerThread>(std::move(sockets), bufferBytes, m_queue,
                                                          OnWake);
        m_thread->start();
        m_open = true;
        for (auto& handle : m_bindings)
            handle->setBroadcastFlag(broadcastEnabled());
    } catch (...) {
        // A failed open leaves the endpoint closed, with no receive thread.
        closeSockets();
        throw;
    }
}

void TIdUDPServer::closeBinding() {
    if (!m_open && !m_thread)
        return;
    closeSockets();
}

void TIdUDPServer::closeSockets() {
    // From here on nothing is delivered, also not by a deliverPending()
    // that is already running further up the stack.
    m_open = false;
    if (m_thread)
        m_thread->requestStop();
    // The stop request ends the receive thread's wait at once. The sockets
    // are released only after the thread has ended, so their numbers cannot
    // be handed out again while it might still use them.
    if (m_thread) {
        m_thread->join();
        m_lastStatistics = m_thread->statistics();
        m_thread.reset();
    }
    for (auto& handle : m_bindings)
        handle->closeSocket();
    m_currentBinding = nullptr;
    m_queue.clear();
}

void TIdUDPServer::applyBroadcastToOpenSockets() {
    for (auto& handle : m_bindings) {
        if (handle->handleAllocated())
            handle->setBroadcastFlag(broadcastEnabled());
    }
}

bool TIdUDPServer::deliverPending(std::size_t maxEntries) {
    // The entry is reused, so its buffer is allocated once rather than per
    // datagram. A handler that runs a nested event loop (a modal message) may
    // come back in here while the outer call's entry is still in use: the
    // nested call then takes its own.
    DeliveryEntry nestedEntry;
    DeliveryEntry& entry = m_delivering ? nestedEntry : m_entry;
    struct Delivering {
        bool& flag;
        const bool before;
        explicit Delivering(bool& f) : flag(f), before(f) { flag = true; }
        ~Delivering() { flag = before; }
        Delivering(const Delivering&) = delete;
        Delivering& operator=(const Delivering&) = delete;
    } const delivering(m_delivering);

    for (std::size_t delivered = 0; delivered < maxEntries; ++delivered) {
        if (!m_open)
            return false;
        if (!m_queue.takeFront(entry))
            return false;
        entry.binding->setPeer(protocol::Ipv4Address(entry.peerAddress), entry.peerPort);
        if (OnUDPRead)
            OnUDPRead(*this, entry.data, *entry.binding);
    }
    return m_open && m_queue.size() > 0;
}

ReceiveStatistics TIdUDPServer::statistics() const {
    return m_thread ? m_thread->statistics() : m_lastStatistics;
}

}  // namespace kavren::net

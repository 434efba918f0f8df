// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idudpclient.h"

#include "net/socketapi.h"

namespace kavren::net {

TIdUDPClient::TIdUDPClient() = default;

TIdUDPClient::~TIdUDPClient() {
    closeBinding();
}

TIdSocketHandle& TIdUDPClient::binding() {
    if (!m_binding || !m_binding->handleAllocated()) {
        auto fresh = std::make_unique<TIdSocketHandle>();
        fresh->allocateSocket();
        ++m_socketsOpened;
        m_binding = std::move(fresh);
        m_binding->setBroadcastFlag(broadcastEnabled());
    }
    return *m_binding;
}

void TIdUDPClient::bind() {
    TIdSocketHandle& handle = binding();
    handle.setPort(0);
    handle.bind();
}

void TIdUDPClient::send(std::span<const std::uint8_t> data) {
    TIdSocketHandle& handle = binding();
    // A broadcast to 255.255.255.255 must leave through the adapter of the
    // source address only; the platform says whether binding to that address
    // already sees to it or the datagram has to name the interface. With no
    // specific source address the system picks.
    int steerInterface = 0;
    if (broadcastEnabled() && m_host == protocol::kLimitedBroadcast && !handle.ip().isAny())
        steerInterface = socketapi::broadcastInterfaceFor(handle.ip().text());
    handle.sendTo(data, m_host, m_port, steerInterface);
}

void TIdUDPClient::closeBinding() {
    if (m_binding)
        m_binding->closeSocket();
    m_binding.reset();
}

bool TIdUDPClient::isActive() const {
    return m_binding && m_binding->handleAllocated();
}

void TIdUDPClient::openBinding() {
    (void)binding();
}

void TIdUDPClient::applyBroadcastToOpenSockets() {
    m_binding->setBroadcastFlag(broadcastEnabled());
}

}  // namespace kavren::net

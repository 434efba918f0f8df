// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idudpclient.h"

#include "net/idexception.h"
#include "net/socketapi.h"
#include "net/socketerrors.h"

namespace kavren::net {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kBroadcastAll = 0xFFFFFFFF;

bool isLocalhostName(const std::string& host) {
    constexpr std::string_view kName = "LOCALHOST";
    if (host.size() != kName.size())
        return false;
    for (std::size_t i = 0; i < host.size(); ++i) {
        char c = host[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != kName[i])
            return false;
    }
    return true;
}

}  // namespace

std::uint32_t resolveHost(const std::string& host) {
    std::uint32_t address = 0;
    if (parseDottedQuad(host, address))
        return address;
    if (isLocalhostName(host))
        return kLoopback;

    int error = 0;
    if (const auto found = socketapi::lookupIPv4(host, error))
        return *found;
    throw EIdSocketError(error);
}

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
    const std::uint32_t destination = resolveHost(m_host);

    // A broadcast to 255.255.255.255 must leave through the adapter of the
    // source address only; the platform says whether binding to that address
    // already sees to it or the datagram has to name the interface. With no
    // specific source address the system picks.
    int steerInterface = 0;
    std::uint32_t local = 0;
    if (broadcastEnabled() && destination == kBroadcastAll && parseDottedQuad(handle.ip(), local) &&
        local != 0) {
        steerInterface = socketapi::broadcastInterfaceFor(handle.ip());
    }
    handle.sendTo(data, destination, m_port, steerInterface);
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

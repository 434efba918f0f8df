#include "net/idudpclient.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "net/adapters.h"
#include "net/idexception.h"
#include "net/socketerrors.h"

namespace kavren {

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

int winsockNumberFromLookup(int result) {
    switch (result) {
        case EAI_NONAME:
            return kWsaHostNotFound;
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_SYSTEM:
            return winsockNumberFromErrno(errno);
        default:
            return kWsaNoRecovery;
    }
}

}  // namespace

std::uint32_t resolveHost(const std::string& host) {
    std::uint32_t address = 0;
    if (parseDottedQuad(host, address))
        return address;
    if (isLocalhostName(host))
        return kLoopback;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0)
        throw EIdSocketError(winsockNumberFromLookup(result));
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            sockaddr_in inet{};
            std::memcpy(&inet, entry->ai_addr, sizeof inet);
            address = ntohl(inet.sin_addr.s_addr);
            ::freeaddrinfo(found);
            return address;
        }
    }
    ::freeaddrinfo(found);
    throw EIdSocketError(kWsaHostNotFound);
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
    // source address only. Linux already picks the interface that holds a
    // bound source address for a limited broadcast, but only as a routing
    // fallback (the first interface found with that address, and not when
    // policy rules intervene); naming the interface with the datagram makes
    // the choice explicit. With no specific source address the system picks.
    int steerInterface = 0;
    std::uint32_t local = 0;
    if (broadcastEnabled() && destination == kBroadcastAll && parseDottedQuad(handle.ip(), local) &&
        local != 0) {
        steerInterface = interfaceIndexOf(handle.ip());
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

}  // namespace kavren

// SPDX-License-Identifier: GPL-3.0-or-later
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include <cstring>
#include <mutex>

#include "net/idexception.h"
#include "net/socketapi.h"
#include "net/socketapi_inet.h"

namespace kavren::net::socketapi {

namespace {

// Error numbers are the system's own Windows Sockets numbers: no mapping.
bool failed() {
    return false;
}

SOCKET sock(Handle socket) {
    return static_cast<SOCKET>(socket);
}

std::mutex g_libraryMutex;
int g_libraryUsers = 0;

}  // namespace

// Windows Sockets must be started before the first call and released after
// the last one. Version 1.1 is asked for: everything the layer calls is in
// it except the wait below, which the system DLL provides whatever version
// was asked for.
LibraryUse::LibraryUse() {
    const std::lock_guard lock(g_libraryMutex);
    if (g_libraryUsers == 0) {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
            throw EIdStackInitializationFailed();
    }
    ++g_libraryUsers;
}

LibraryUse::~LibraryUse() {
    const std::lock_guard lock(g_libraryMutex);
    if (--g_libraryUsers == 0)
        ::WSACleanup();
}

int lastError() {
    return ::WSAGetLastError();
}

Handle openDatagram() {
    const SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET)
        return kNoSocket;
    // Child processes must not inherit the socket (and with it the port).
    ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return static_cast<Handle>(handle);
}

bool bind(Handle socket, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in local = inet::address(address, port);
    // Without SO_EXCLUSIVEADDRUSE or SO_REUSEADDR a second bind to a port in
    // use fails with WSAEADDRINUSE, as on Linux.
    return ::bind(sock(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ||
           failed();
}

bool localAddress(Handle socket, std::uint32_t& address, std::uint16_t& port) {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (::getsockname(sock(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return failed();
    address = ntohl(bound.sin_addr.s_addr);
    port = ntohs(bound.sin_port);
    return true;
}

bool setBroadcast(Handle socket, bool enabled) {
    const BOOL value = enabled ? TRUE : FALSE;
    return ::setsockopt(sock(socket), SOL_SOCKET, SO_BROADCAST,
                        reinterpret_cast<const char*>(&value), sizeof value) == 0 ||
           failed();
}

std::optional<bool> broadcastEnabled(Handle socket) {
    BOOL value = FALSE;
    int length = sizeof value;
    if (::getsockopt(sock(socket), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&value),
                     &length) != 0) {
        return std::nullopt;
    }
    return value != FALSE;
}

int enlargeReceiveBuffer(Handle socket, int bytes) {
    // Windows has no system-wide cap to pass over; it grants what is asked.
    (void)::setsockopt(sock(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                       sizeof bytes);
    int granted = 0;
    int length = sizeof granted;
    if (::getsockopt(sock(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted),
                     &length) != 0) {
        return 0;
    }
    return granted;
}

int broadcastInterfaceFor(const std::string&) {
    // Windows sends by the strong host model: a datagram from a socket bound
    // to an adapter's address leaves through that adapter only, also a
    // broadcast to 255.255.255.255. Binding to the source address already
    // decides the adapter, so nothing rides along with the datagram.
    return 0;
}

long long sendTo(Handle socket, std::span<const std::uint8_t> data, std::uint32_t address,
                 std::uint16_t port, int) {
    const sockaddr_in destination = inet::address(address, port);
    const int sent = ::sendto(sock(socket), reinterpret_cast<const char*>(data.data()),
                              static_cast<int>(data.size()), 0,
                              reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent == SOCKET_ERROR)
        return -1;
    return sent;
}

void close(Handle socket) {
    if (socket == kNoSocket)
        return;
    (void)::shutdown(sock(socket), SD_SEND);
    (void)::closesocket(sock(socket));
}

// Each socket signals an event when a datagram (or an error report) is
// waiting; one more event is the wake-up. Closing a socket under a waiting
// thread is not a defined way to end a wait on Windows, so close sets the
// wake-up event instead and the sockets are released after the thread ends.
struct ReadinessWait::Platform {
    std::vector<SOCKET> sockets;
    std::vector<WSAEVENT> events;  // one per socket, then the wake-up
    std::vector<bool> ready;
};

ReadinessWait::ReadinessWait(const std::vector<Handle>& sockets)
    : m_platform(std::make_unique<Platform>()) {
    Platform& p = *m_platform;
    for (const Handle socket : sockets) {
        const WSAEVENT event = ::WSACreateEvent();
        // FD_READ is signalled again after each receive while datagrams
        // remain; the socket becomes non-blocking, which the batch receive
        // wants anyway.
        if (event != WSA_INVALID_EVENT)
            ::WSAEventSelect(sock(socket), event, FD_READ);
        p.sockets.push_back(sock(socket));
        p.events.push_back(event);
    }
    p.events.push_back(::WSACreateEvent());
    p.ready.assign(sockets.size(), false);
}

ReadinessWait::~ReadinessWait() {
    Platform& p = *m_platform;
    for (std::size_t i = 0; i < p.sockets.size(); ++i) {
        if (p.events[i] != WSA_INVALID_EVENT)
            ::WSAEventSelect(p.sockets[i], nullptr, 0);
    }
    for (const WSAEVENT event : p.events) {
        if (event != WSA_INVALID_EVENT)
            ::WSACloseEvent(event);
    }
}

bool ReadinessWait::wait(int timeoutMs) {
    Platform& p = *m_platform;
    p.ready.assign(p.sockets.size(), false);
    const auto count = static_cast<DWORD>(p.events.size());
    const DWORD result = ::WSAWaitForMultipleEvents(count, p.events.data(), FALSE,
                                                    static_cast<DWORD>(timeoutMs), FALSE);
    if (result == WSA_WAIT_FAILED || result == WSA_WAIT_TIMEOUT ||
        result >= WSA_WAIT_EVENT_0 + count)
        return false;
    if (result - WSA_WAIT_EVENT_0 == count - 1)
        return false;  // woken: the wake-up event stays set for later waits
    bool any = false;
    for (std::size_t i = 0; i < p.sockets.size(); ++i) {
        WSANETWORKEVENTS events{};
        // Reading the events also resets the socket's event object.
        if (::WSAEnumNetworkEvents(p.sockets[i], p.events[i], &events) == 0 &&
            (events.lNetworkEvents & FD_READ) != 0) {
            p.ready[i] = true;
            any = true;
        }
    }
    return any;
}

bool ReadinessWait::readable(std::size_t index) const {
    return m_platform->ready.at(index);
}

void ReadinessWait::wake() {
    ::WSASetEvent(m_platform->events.back());
}

// Windows has no batch receive for datagram sockets: one recvfrom per
// datagram, without waiting, until the socket is empty or the batch full.
struct ReceiveBatch::Platform {};

ReceiveBatch::ReceiveBatch(unsigned count, std::size_t bufferSize)
    : m_data(count * bufferSize), m_bufferSize(bufferSize), m_received(count) {}

ReceiveBatch::~ReceiveBatch() = default;

unsigned ReceiveBatch::receive(Handle socket) {
    unsigned count = 0;
    while (count < m_received.size()) {
        std::uint8_t* buffer = m_data.data() + count * m_bufferSize;
        sockaddr_in peer{};
        int peerLength = sizeof peer;
        const int length = ::recvfrom(sock(socket), reinterpret_cast<char*>(buffer),
                                      static_cast<int>(m_bufferSize), 0,
                                      reinterpret_cast<sockaddr*>(&peer), &peerLength);
        bool truncated = false;
        std::size_t taken = 0;
        if (length == SOCKET_ERROR) {
            // A datagram longer than the buffer fills it and reports
            // WSAEMSGSIZE; the rest of it is gone, as on Linux. Anything else
            // (WSAEWOULDBLOCK: nothing left; WSAECONNRESET: an ICMP report
            // of an earlier send) ends the batch.
            if (::WSAGetLastError() != WSAEMSGSIZE)
                break;
            truncated = true;
            taken = m_bufferSize;
        } else {
            taken = static_cast<std::size_t>(length);
        }
        Received& out = m_received[count];
        out.data = std::span<const std::uint8_t>(buffer, taken);
        out.truncated = truncated;
        out.peerAddress = ntohl(peer.sin_addr.s_addr);
        out.peerPort = ntohs(peer.sin_port);
        ++count;
    }
    return count;
}

}  // namespace kavren::net::socketapi

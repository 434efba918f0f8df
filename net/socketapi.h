// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The platform's IPv4 datagram sockets, as thin as the endpoint layer needs
// them. socketapi_posix.cpp and socketapi_win.cpp implement it; CMake builds
// one of them. Addresses are host-order IPv4 values. A call that fails
// returns false (or kNoSocket, or -1) and leaves its Windows Sockets error
// number for lastError(): on Windows exactly as the system reports it, on
// POSIX systems mapped from errno to the number of the same condition.
namespace kavren::net::socketapi {

// A descriptor on POSIX systems, a SOCKET on Windows; both fit.
using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// Keeps the platform's socket library started while any holder lives: the
// first holder starts it, the last one releases it. Where starting can fail
// (Windows Sockets), the constructor throws EIdStackInitializationFailed.
class LibraryUse final {
public:
    LibraryUse();
    ~LibraryUse();
    LibraryUse(const LibraryUse&) : LibraryUse() {}
    LibraryUse& operator=(const LibraryUse&) { return *this; }
};

// The Windows Sockets number of the calling thread's last failed call.
int lastError();

Handle openDatagram();
bool bind(Handle socket, std::uint32_t address, std::uint16_t port);
bool localAddress(Handle socket, std::uint32_t& address, std::uint16_t& port);
bool setBroadcast(Handle socket, bool enabled);
// nullopt when the option cannot be read.
std::optional<bool> broadcastEnabled(Handle socket);
// Asks for a receive buffer of `bytes` (past the system's cap where the
// caller may) and returns the size granted, 0 when it cannot be read.
// Neither request failing is an error: the socket keeps a smaller buffer.
int enlargeReceiveBuffer(Handle socket, int bytes);

// The interface a broadcast to 255.255.255.255 from `source` has to be
// steered to, or 0 when binding to the source address already decides the
// adapter on this platform (or no interface holds the address).
int broadcastInterfaceFor(const std::string& source);
// Sends one datagram, no flags; `steerInterface` > 0 (from
// broadcastInterfaceFor) names the interface it leaves through. Returns the
// bytes sent, or -1.
long long sendTo(Handle socket, std::span<const std::uint8_t> data, std::uint32_t address,
                 std::uint16_t port, int steerInterface);

// Shuts the sending direction down and releases the socket.
void close(Handle socket);

// Waits until sockets are readable, for the receive thread. wake() may be
// called from any thread: it ends a wait that is running at once and every
// later wait at once too.
class ReadinessWait final {
public:
    explicit ReadinessWait(const std::vector<Handle>& sockets);
    ~ReadinessWait();
    ReadinessWait(const ReadinessWait&) = delete;
    ReadinessWait& operator=(const ReadinessWait&) = delete;

    // Waits at most `timeoutMs`; afterwards readable(i) tells which socket
    // has something (a datagram or a pending error) to take. False when
    // nothing became readable (period over, woken, or the wait failed).
    bool wait(int timeoutMs);
    bool readable(std::size_t index) const;
    void wake();

private:
    struct Platform;
    std::unique_ptr<Platform> m_platform;
};

// One received datagram of a batch.
struct Received {
    std::span<const std::uint8_t> data;  // cut to the buffer size
    bool truncated = false;              // it was longer than the buffer
    std::uint32_t peerAddress = 0;
    std::uint16_t peerPort = 0;
};

// Buffers for up to `count` datagrams of `bufferSize` bytes each, made once
// and reused by every receive call.
class ReceiveBatch final {
public:
    ReceiveBatch(unsigned count, std::size_t bufferSize);
    ~ReceiveBatch();
    ReceiveBatch(const ReceiveBatch&) = delete;
    ReceiveBatch& operator=(const ReceiveBatch&) = delete;

    // Takes the datagrams waiting on `socket`, at most `count`, without
    // waiting for more. 0 when none was waiting or the receive failed.
    unsigned receive(Handle socket);
    const Received& operator[](unsigned index) const { return m_received[index]; }
    unsigned capacity() const { return static_cast<unsigned>(m_received.size()); }

private:
    struct Platform;
    std::vector<std::uint8_t> m_data;
    std::size_t m_bufferSize;
    std::vector<Received> m_received;
    std::unique_ptr<Platform> m_platform;
};

}  // namespace kavren::net::socketapi

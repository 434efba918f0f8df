// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/socketapi.h"

namespace kavren::labtest {

// A plain datagram socket the tests use as the other side: a device, or a
// second program holding a port. Closed on destruction.
class PeerSocket final {
public:
    // Opened in the calling thread's network namespace, or in the lab's
    // named namespace `netnsName` (e.g. KAVREN_LAB_NODE_A) when given.
    explicit PeerSocket(const std::string& bindAddress = "0.0.0.0", std::uint16_t port = 0,
                        const char* netnsName = nullptr);
    ~PeerSocket();
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    std::uint16_t port() const;
    void sendTo(const std::string& address, std::uint16_t port,
                std::span<const std::uint8_t> data) const;

    struct Datagram {
        std::vector<std::uint8_t> data;
        std::string peerIP;
        std::uint16_t peerPort = 0;
    };
    // The next datagram, or nullopt when none comes within `wait`.
    std::optional<Datagram> receive(std::chrono::milliseconds wait) const;

private:
    net::socketapi::LibraryUse m_library;
    net::socketapi::Handle m_handle = net::socketapi::kNoSocket;
};

// The environment variable's value; the test fails when it is unset.
std::string labEnv(const char* name);

}  // namespace kavren::labtest

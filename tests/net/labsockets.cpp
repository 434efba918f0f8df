// SPDX-License-Identifier: GPL-3.0-or-later
#include "labsockets.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "labnamespace.h"
#include "net/idsockethandle.h"
#include "net/socketapi.h"
#include "protocol/ipv4.h"

// The peers are plain sockets of the platform, made through the same socket
// seam as the product's own, so the tests run unchanged on Windows.
namespace kavren::labtest {

namespace {

std::uint32_t addressOf(const std::string& text) {
    const auto address = protocol::Ipv4Address::parse(text);
    if (!address)
        throw std::runtime_error("not a dotted address: " + text);
    return address->value();
}

net::socketapi::Handle openBound(const std::string& bindAddress, std::uint16_t port) {
    const net::socketapi::Handle handle = net::socketapi::openDatagram();
    if (handle == net::socketapi::kNoSocket)
        throw std::runtime_error("socket failed");
    (void)net::socketapi::setBroadcast(handle, true);
    if (!net::socketapi::bind(handle, addressOf(bindAddress), port)) {
        net::socketapi::close(handle);
        throw std::runtime_error("bind of test socket failed");
    }
    return handle;
}

}  // namespace

PeerSocket::PeerSocket(const std::string& bindAddress, std::uint16_t port, const char* netnsName) {
    if (netnsName == nullptr) {
        m_handle = openBound(bindAddress, port);
        return;
    }
    // A socket belongs to the namespace it was made in.
    runInNamespace(netnsName, [&] { m_handle = openBound(bindAddress, port); });
}

PeerSocket::~PeerSocket() {
    net::socketapi::close(m_handle);
}

std::uint16_t PeerSocket::port() const {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    (void)net::socketapi::localAddress(m_handle, address, port);
    return port;
}

void PeerSocket::sendTo(const std::string& address, std::uint16_t port,
                        std::span<const std::uint8_t> data) const {
    if (net::socketapi::sendTo(m_handle, data, addressOf(address), port, 0) < 0)
        throw std::runtime_error("test send failed");
}

std::optional<PeerSocket::Datagram> PeerSocket::receive(std::chrono::milliseconds wait) const {
    net::socketapi::ReadinessWait readiness({m_handle});
    if (!readiness.wait(static_cast<int>(wait.count())))
        return std::nullopt;
    net::socketapi::ReceiveBatch batch(1, 65536);
    if (batch.receive(m_handle) != 1)
        return std::nullopt;
    const net::socketapi::Received& received = batch[0];
    Datagram d;
    d.data.assign(received.data.begin(), received.data.end());
    d.peerIP = protocol::Ipv4Address(received.peerAddress).text();
    d.peerPort = received.peerPort;
    return d;
}

std::string labEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

}  // namespace kavren::labtest

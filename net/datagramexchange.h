// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "net/idudpclient.h"
#include "net/idudpserver.h"

namespace kavren::net {

// The endpoints of a program without an event loop: the receiving endpoint
// on the host port, open for as long as this lives so that result messages
// and late replies are not missed, and the sending endpoint with its send
// sequence. Datagrams are handed over on the calling thread; the receive
// thread only wakes it.
class DatagramExchange final {
public:
    using Clock = std::chrono::steady_clock;
    // Told about every datagram; returns true when the wait may end early.
    using Handler =
        std::function<bool(std::span<const std::uint8_t> data, protocol::Ipv4Address peer)>;

    DatagramExchange();
    ~DatagramExchange();
    DatagramExchange(const DatagramExchange&) = delete;
    DatagramExchange& operator=(const DatagramExchange&) = delete;

    // Opens the receiving endpoint; throws the endpoint layer's error (for
    // example when another program holds the port).
    void open();
    // Closes the receiving endpoint and drops what waits in its queue.
    void close();
    // One datagram by the send sequence, bound to `source`.
    void send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
              std::span<const std::uint8_t> datagram);
    // Hands every received datagram to `handler` until `deadline`, or until
    // the handler returns true.
    void receive(Clock::time_point deadline, const Handler& handler);

private:
    TIdUDPServer m_server;
    TIdUDPClient m_client;
    Handler m_handler;
    bool m_done = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_woken = false;
};

}  // namespace kavren::net

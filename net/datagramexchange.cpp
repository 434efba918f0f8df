// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/datagramexchange.h"

#include "net/sendsequence.h"
#include "protocol/packets.h"

namespace kavren::net {

DatagramExchange::DatagramExchange() {
    // As in the window: a queued datagram is never larger than a reply needs.
    m_server.setBufferSize(static_cast<int>(protocol::kReceiveBufferSize));
    m_server.OnWake = [this] {
        {
            const std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_wake.notify_one();
    };
    m_server.OnUDPRead = [this](TIdUDPServer&, std::span<const std::uint8_t> data,
                                TIdSocketHandle& binding) {
        if (m_handler && !m_done)
            m_done = m_handler(data, binding.peerIP());
    };
}

DatagramExchange::~DatagramExchange() {
    m_server.setActive(false);
}

void DatagramExchange::open() {
    m_server.setActive(true);
}

void DatagramExchange::close() {
    m_server.setActive(false);
}

void DatagramExchange::send(protocol::Ipv4Address source, protocol::Ipv4Address host,
                            bool broadcast, std::span<const std::uint8_t> datagram) {
    sendSequence(m_client, source, host, broadcast, datagram);
}

void DatagramExchange::receive(Clock::time_point deadline, const Handler& handler) {
    m_handler = handler;
    m_done = false;
    while (!m_done) {
        // Datagrams are handed over in small portions so that a flood cannot
        // keep this loop from looking at the clock.
        while (!m_done && m_server.deliverPending(256)) {
            if (Clock::now() >= deadline)
                break;
        }
        if (m_done || Clock::now() >= deadline)
            break;
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, deadline, [this] { return m_woken; });
        m_woken = false;
    }
    m_handler = nullptr;
}

}  // namespace kavren::net

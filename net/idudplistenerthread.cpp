// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idudplistenerthread.h"

#include <array>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "net/deliveryqueue.h"
#include "net/idsockethandle.h"

namespace kavren::net {

namespace {

std::vector<socketapi::Handle> handlesOf(const std::vector<TIdUDPListenerThread::Socket>& sockets) {
    std::vector<socketapi::Handle> handles;
    handles.reserve(sockets.size());
    for (const auto& socket : sockets)
        handles.push_back(socket.handle);
    return handles;
}

}  // namespace

TIdUDPListenerThread::TIdUDPListenerThread(std::vector<Socket> sockets, std::size_t bufferSize,
                                           DeliveryQueue& queue, std::function<void()> wake)
    : m_sockets(std::move(sockets)),
      m_bufferSize(bufferSize),
      m_queue(queue),
      m_wake(std::move(wake)),
      m_readiness(handlesOf(m_sockets)) {}

TIdUDPListenerThread::~TIdUDPListenerThread() {
    requestStop();
    join();
}

void TIdUDPListenerThread::requestStop() {
    m_stop.store(true, std::memory_order_release);
    m_readiness.wake();
}

void TIdUDPListenerThread::start() {
    m_thread = std::thread([this] { run(); });
}

void TIdUDPListenerThread::join() {
    if (m_thread.joinable())
        m_thread.join();
}

ReceiveStatistics TIdUDPListenerThread::statistics() const {
    ReceiveStatistics s;
    s.received = m_received.load(std::memory_order_relaxed);
    s.zeroLengthDropped = m_zeroLength.load(std::memory_order_relaxed);
    s.truncated = m_truncated.load(std::memory_order_relaxed);
    s.queueFullDropped = m_queueFull.load(std::memory_order_relaxed);
    s.batches = m_batches.load(std::memory_order_relaxed);
    s.wakes = m_wakes.load(std::memory_order_relaxed);
    s.failuresSurvived = m_failures.load(std::memory_order_relaxed);
    return s;
}

void TIdUDPListenerThread::run() {
    // The buffers of one receive call, made once per thread and reused: one
    // receive buffer of the endpoint's buffer size per datagram of a batch.
    std::optional<socketapi::ReceiveBatch> buffers;

    // The stop flag is read before every wait and every receive and no wait
    // lasts longer than the wait period; close also wakes the wait, so it
    // ends at once.
    while (!m_stop.load(std::memory_order_acquire)) {
        // An exception leaving a thread's function ends the whole process. A
        // failed allocation (a flood taking the memory, the queue growing a
        // chunk) costs the batch in hand: it is counted, the thread rests a
        // moment so that a lasting shortage does not spin it, and goes on.
        try {
            if (!buffers)
                buffers.emplace(kBatchSize, m_bufferSize);
            if (!m_readiness.wait(kReceiveWaitMs))
                continue;  // the period expired, a signal came, or close woke it
            for (std::size_t i = 0; i < m_sockets.size(); ++i) {
                if (m_stop.load(std::memory_order_acquire))
                    break;
                if (m_readiness.readable(i))
                    receiveFrom(m_sockets[i], *buffers);
            }
        } catch (const std::exception&) {
            m_failures.fetch_add(1, std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::milliseconds(kFailurePauseMs));
        }
    }
}

void TIdUDPListenerThread::receiveFrom(const Socket& socket, socketapi::ReceiveBatch& buffers) {
    // What one receive call queues: views of the receive buffers, which the
    // queue copies into its slots, so no datagram costs an allocation.
    std::array<ReceivedDatagram, kBatchSize> batch{};

    // Take what the socket holds, a batch at a time, until it is empty.
    while (!m_stop.load(std::memory_order_acquire)) {
        const unsigned count = buffers.receive(socket.handle);
        // A failing receive (nothing left, a pending error report) just ends
        // this turn; the thread goes back to waiting.
        if (count == 0)
            return;

        std::size_t offered = 0;
        for (unsigned k = 0; k < count; ++k) {
            const socketapi::Received& received = buffers[k];
            m_received.fetch_add(1, std::memory_order_relaxed);
            if (received.data.empty()) {
                m_zeroLength.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            // A datagram longer than the buffer is cut to its first
            // bufferSize bytes, which is what the receive call gives us; the
            // reply handler judges the cut datagram like any other.
            if (received.truncated)
                m_truncated.fetch_add(1, std::memory_order_relaxed);
            batch[offered++] = {received.data, socket.binding, received.peerAddress,
                                received.peerPort};
        }

        if (offered > 0) {
            const std::size_t appended = m_queue.append(std::span(batch.data(), offered));
            m_queueFull.fetch_add(offered - appended, std::memory_order_relaxed);
            if (appended > 0) {
                m_batches.fetch_add(1, std::memory_order_relaxed);
                m_wakes.fetch_add(1, std::memory_order_relaxed);
                if (m_wake) {
                    try {
                        m_wake();
                    } catch (...) {
                        // Nothing from the receive thread ever reaches the user.
                    }
                }
            }
        }
        if (count < kBatchSize)
            return;
    }
}

}  // namespace kavren::net

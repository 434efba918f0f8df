// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "net/socketapi.h"

namespace kavren::net {

class DeliveryQueue;
class TIdSocketHandle;

// Counters of the receive path, for tests and measurements.
struct ReceiveStatistics {
    std::uint64_t received = 0;           // datagrams taken from the sockets
    std::uint64_t zeroLengthDropped = 0;  // empty datagrams, never delivered
    std::uint64_t truncated = 0;          // longer than the buffer, cut to it
    std::uint64_t queueFullDropped = 0;   // found the delivery queue full
    std::uint64_t batches = 0;            // receive calls that queued something
    std::uint64_t wakes = 0;              // wake-ups of the user-interface thread
    std::uint64_t failuresSurvived = 0;   // errors (out of memory) the thread went on after
};

// The receive thread: waits for datagrams on the bindings' sockets and puts
// each into the delivery queue. It touches nothing else: no binding field,
// no widget, no read event.
class TIdUDPListenerThread final {
public:
    static constexpr int kReceiveWaitMs = 1000;
    // Datagrams taken per receive call; the user-interface thread is woken
    // once per call that queued anything.
    static constexpr unsigned kBatchSize = 64;
    // The rest after an error the thread survives (see run()).
    static constexpr int kFailurePauseMs = 10;

    struct Socket {
        socketapi::Handle handle;
        TIdSocketHandle* binding;
    };

    TIdUDPListenerThread(std::vector<Socket> sockets, std::size_t bufferSize, DeliveryQueue& queue,
                         std::function<void()> wake);
    ~TIdUDPListenerThread();
    TIdUDPListenerThread(const TIdUDPListenerThread&) = delete;
    TIdUDPListenerThread& operator=(const TIdUDPListenerThread&) = delete;

    void start();
    // Sets the stop flag and ends a wait that is running at once.
    void requestStop();
    void join();

    ReceiveStatistics statistics() const;

private:
    void run();
    void receiveFrom(const Socket& socket, socketapi::ReceiveBatch& buffers);

    const std::vector<Socket> m_sockets;
    const std::size_t m_bufferSize;
    DeliveryQueue& m_queue;
    const std::function<void()> m_wake;
    socketapi::ReadinessWait m_readiness;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;

    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_zeroLength{0};
    std::atomic<std::uint64_t> m_truncated{0};
    std::atomic<std::uint64_t> m_queueFull{0};
    std::atomic<std::uint64_t> m_batches{0};
    std::atomic<std::uint64_t> m_wakes{0};
    std::atomic<std::uint64_t> m_failures{0};
};

}  // namespace kavren::net

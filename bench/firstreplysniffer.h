// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace kavren::bench {

// Notes when the first device reply of a burst reaches this namespace, by the
// kernel's own timestamp on a packet socket, so the receiver under test and
// the bare receiver are timed from the same moment. It only listens, and it
// stops listening once it has seen that one reply.
class FirstReplySniffer final {
public:
    FirstReplySniffer() = default;
    ~FirstReplySniffer();
    FirstReplySniffer(const FirstReplySniffer&) = delete;
    FirstReplySniffer& operator=(const FirstReplySniffer&) = delete;

    // Opens the packet socket; false when that is not allowed.
    bool start();
    void stop();
    // CLOCK_REALTIME of the first reply (UDP 62630 -> 62631 coming in), 0
    // while none was seen.
    std::int64_t firstReplyNs() const { return m_first.load(); }

private:
    void run();

    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<std::int64_t> m_first{0};
    std::thread m_thread;
};

}  // namespace kavren::bench

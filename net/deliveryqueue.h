// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kavren {

class TIdSocketHandle;

// One received datagram on its way to the user-interface thread.
struct DeliveryEntry {
    std::vector<std::uint8_t> data;  // 1 to 1024 bytes
    TIdSocketHandle* binding = nullptr;
    std::string peerIP;
    std::uint16_t peerPort = 0;
};

// The first-in first-out hand-over from the receive thread to the
// user-interface thread. The lock is held for the queue operation alone,
// never while a datagram is received or delivered. The queue is bounded so a
// flood cannot eat the memory: what does not fit is dropped and counted.
class DeliveryQueue final {
public:
    // About 50,000 replies of one burst fit with room to spare; at most some
    // 70 MB even if every entry held 1024 bytes.
    static constexpr std::size_t kDefaultCapacity = 65536;

    explicit DeliveryQueue(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

    // Appends the entries in order as far as they fit and returns how many
    // were appended; the rest are dropped. The batch is left moved-from.
    std::size_t append(std::vector<DeliveryEntry>& batch);
    std::optional<DeliveryEntry> takeFront();
    void clear();

    std::size_t size() const;
    std::size_t capacity() const { return m_capacity; }
    std::uint64_t droppedFull() const { return m_droppedFull.load(std::memory_order_relaxed); }

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<DeliveryEntry> m_entries;
    std::atomic<std::uint64_t> m_droppedFull{0};
};

}  // namespace kavren

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace kavren::net {

class TIdSocketHandle;

// One received datagram as the receive thread offers it; the queue copies
// the bytes, so they need to live only for the call.
struct ReceivedDatagram {
    std::span<const std::uint8_t> data;
    TIdSocketHandle* binding = nullptr;
    std::uint32_t peerAddress = 0;  // host byte order
    std::uint16_t peerPort = 0;
};

// One datagram as the user-interface thread takes it. The taker keeps one
// entry and passes it to every takeFront(), so its byte buffer is reused.
struct DeliveryEntry {
    std::vector<std::uint8_t> data;  // 1 to slotSize() bytes
    TIdSocketHandle* binding = nullptr;
    std::uint32_t peerAddress = 0;  // host byte order
    std::uint16_t peerPort = 0;
};

// The first-in first-out hand-over from the receive thread to the
// user-interface thread. The lock is held for the queue operation alone (a
// copy of at most a slot per datagram), never while a datagram is received
// or handled. The queue is bounded so a flood cannot eat the memory: what
// does not fit is dropped and counted. One thread appends; one other thread
// takes, clears and resets.
//
// The datagrams wait in a ring of fixed-size slots, one receive buffer each,
// so a datagram costs a copy and no allocation. The ring's storage comes in
// chunks of about 1 MiB, made when the ring first reaches them: the full
// bound would be 64 MiB up front, which a quiet network never needs. When
// the queue runs empty the ring starts over at its first slot and every chunk
// but the first is freed again, so a burst's memory does not outlive it.
class DeliveryQueue final {
public:
    // About 50,000 replies of one burst fit with room to spare.
    static constexpr std::size_t kDefaultCapacity = 65536;
    static constexpr std::size_t kDefaultSlotSize = 1024;
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

    explicit DeliveryQueue(std::size_t capacity = kDefaultCapacity,
                           std::size_t slotSize = kDefaultSlotSize);
    DeliveryQueue(const DeliveryQueue&) = delete;
    DeliveryQueue& operator=(const DeliveryQueue&) = delete;

    // Appends copies of the datagrams in order as far as they fit (each cut
    // to the slot size) and returns how many were appended; the rest are
    // dropped.
    std::size_t append(std::span<const ReceivedDatagram> batch);
    // Moves the oldest datagram into `into`; false when the queue is empty.
    bool takeFront(DeliveryEntry& into);
    // Drops everything waiting and frees the storage.
    void clear();
    // Drops everything waiting and takes slots of a new size from now on.
    void resetSlotSize(std::size_t slotSize);

    std::size_t size() const;
    std::size_t capacity() const { return m_capacity; }
    std::size_t slotSize() const;
    // How many slots have storage at the moment.
    std::size_t allocatedSlots() const;
    std::uint64_t droppedFull() const { return m_droppedFull.load(std::memory_order_relaxed); }

private:
    struct SlotInfo {
        TIdSocketHandle* binding;
        std::uint32_t peerAddress;
        std::uint16_t peerPort;
        std::uint16_t length;
    };
    struct Chunk {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::unique_ptr<SlotInfo[]> info;
    };

    void layOut(std::size_t slotSize);
    void releaseChunks(std::size_t keep, std::vector<Chunk>& released);

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::size_t m_slotSize = 0;
    std::size_t m_chunkSlots = 0;
    std::vector<Chunk> m_chunks;  // as many as the bound needs; empty ones not made yet
    std::size_t m_head = 0;       // slot of the oldest datagram
    std::size_t m_count = 0;
    // Chunks taken out under the lock and freed after it; reserved up front
    // and touched by the taking thread only.
    std::vector<Chunk> m_released;
    std::atomic<std::uint64_t> m_droppedFull{0};
};

}  // namespace kavren::net

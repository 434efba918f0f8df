// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/deliveryqueue.h"

#include <algorithm>

namespace kavren::net {

DeliveryQueue::DeliveryQueue(std::size_t capacity, std::size_t slotSize) : m_capacity(capacity) {
    layOut(slotSize);
}

void DeliveryQueue::layOut(std::size_t slotSize) {
    // A slot's length is kept in 16 bits: receive buffers stay far below.
    m_slotSize = std::clamp<std::size_t>(slotSize, 1, 0xFFFF);
    m_chunkSlots =
        std::clamp<std::size_t>(kChunkBytes / m_slotSize, 1, std::max<std::size_t>(m_capacity, 1));
    m_chunks.clear();
    m_chunks.resize((m_capacity + m_chunkSlots - 1) / m_chunkSlots);
    m_released.clear();
    m_released.reserve(m_chunks.size());
    m_head = 0;
    m_count = 0;
}

std::size_t DeliveryQueue::append(std::span<const ReceivedDatagram> batch) {
    std::size_t appended = 0;
    {
        const std::lock_guard lock(m_mutex);
        const std::size_t room = m_capacity - m_count;
        appended = std::min(batch.size(), room);
        for (std::size_t i = 0; i < appended; ++i) {
            const ReceivedDatagram& datagram = batch[i];
            const std::size_t slot = (m_head + m_count) % m_capacity;
            Chunk& chunk = m_chunks[slot / m_chunkSlots];
            if (!chunk.bytes) {
                // Both parts are made before either is kept: a failed
                // allocation leaves the chunk as it was, and the receive
                // thread, which catches the failure, goes on with a queue
                // that is still whole.
                auto info = std::make_unique_for_overwrite<SlotInfo[]>(m_chunkSlots);
                chunk.bytes =
                    std::make_unique_for_overwrite<std::uint8_t[]>(m_chunkSlots * m_slotSize);
                chunk.info = std::move(info);
            }
            const std::size_t index = slot % m_chunkSlots;
            const std::size_t length = std::min(datagram.data.size(), m_slotSize);
            std::copy_n(datagram.data.begin(), length, chunk.bytes.get() + index * m_slotSize);
            chunk.info[index] = {datagram.binding, datagram.peerAddress, datagram.peerPort,
                                 static_cast<std::uint16_t>(length)};
            ++m_count;
        }
    }
    if (appended < batch.size())
        m_droppedFull.fetch_add(batch.size() - appended, std::memory_order_relaxed);
    return appended;
}

bool DeliveryQueue::takeFront(DeliveryEntry& into) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_count == 0)
            return false;
        const Chunk& chunk = m_chunks[m_head / m_chunkSlots];
        const std::size_t index = m_head % m_chunkSlots;
        const SlotInfo& info = chunk.info[index];
        const std::uint8_t* bytes = chunk.bytes.get() + index * m_slotSize;
        into.data.assign(bytes, bytes + info.length);
        into.binding = info.binding;
        into.peerAddress = info.peerAddress;
        into.peerPort = info.peerPort;
        m_head = (m_head + 1) % m_capacity;
        if (--m_count == 0) {
            // Starting over at the first slot keeps a trickle of replies in
            // the first chunk; the chunks of a burst are given back.
            m_head = 0;
            releaseChunks(1, m_released);
        }
    }
    m_released.clear();
    return true;
}

void DeliveryQueue::releaseChunks(std::size_t keep, std::vector<Chunk>& released) {
    for (std::size_t i = keep; i < m_chunks.size(); ++i) {
        if (m_chunks[i].bytes)
            released.push_back(std::move(m_chunks[i]));
    }
}

void DeliveryQueue::clear() {
    {
        const std::lock_guard lock(m_mutex);
        m_head = 0;
        m_count = 0;
        releaseChunks(0, m_released);
    }
    // Freed here, outside the lock.
    m_released.clear();
}

void DeliveryQueue::resetSlotSize(std::size_t slotSize) {
    const std::lock_guard lock(m_mutex);
    layOut(slotSize);
}

std::size_t DeliveryQueue::size() const {
    const std::lock_guard lock(m_mutex);
    return m_count;
}

std::size_t DeliveryQueue::slotSize() const {
    const std::lock_guard lock(m_mutex);
    return m_slotSize;
}

std::size_t DeliveryQueue::allocatedSlots() const {
    const std::lock_guard lock(m_mutex);
    return m_chunkSlots * static_cast<std::size_t>(
                              std::count_if(m_chunks.begin(), m_chunks.end(),
                                            [](const Chunk& c) { return c.bytes != nullptr; }));
}

}  // namespace kavren::net

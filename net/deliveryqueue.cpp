// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/deliveryqueue.h"

namespace kavren {

std::size_t DeliveryQueue::append(std::vector<DeliveryEntry>& batch) {
    std::size_t appended = 0;
    {
        const std::lock_guard lock(m_mutex);
        const std::size_t room = m_capacity - m_entries.size();
        appended = batch.size() < room ? batch.size() : room;
        for (std::size_t i = 0; i < appended; ++i)
            m_entries.push_back(std::move(batch[i]));
    }
    if (appended < batch.size()) {
        m_droppedFull.fetch_add(batch.size() - appended, std::memory_order_relaxed);
    }
    batch.clear();
    return appended;
}

std::optional<DeliveryEntry> DeliveryQueue::takeFront() {
    const std::lock_guard lock(m_mutex);
    if (m_entries.empty())
        return std::nullopt;
    std::optional<DeliveryEntry> entry(std::move(m_entries.front()));
    m_entries.pop_front();
    return entry;
}

void DeliveryQueue::clear() {
    std::deque<DeliveryEntry> dropped;
    {
        const std::lock_guard lock(m_mutex);
        dropped.swap(m_entries);
    }
    // `dropped` is freed here, outside the lock.
}

std::size_t DeliveryQueue::size() const {
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

}  // namespace kavren

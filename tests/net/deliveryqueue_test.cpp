// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "net/deliveryqueue.h"

namespace kavren::net {
namespace {

// Datagrams of one tag byte each (or `length` bytes of it), from one peer.
// The queue copies what the views show, so the bytes live here.
class Batch {
public:
    Batch(std::uint8_t first, std::size_t count, std::size_t length = 1) {
        m_bytes.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            m_bytes.emplace_back(length, static_cast<std::uint8_t>(first + i));
        for (const auto& bytes : m_bytes)
            m_views.push_back({bytes, nullptr, 0xC6120002, 62630});
    }
    operator std::span<const ReceivedDatagram>() const { return m_views; }

private:
    std::vector<std::vector<std::uint8_t>> m_bytes;
    std::vector<ReceivedDatagram> m_views;
};

std::optional<DeliveryEntry> take(DeliveryQueue& queue) {
    DeliveryEntry entry;
    if (!queue.takeFront(entry))
        return std::nullopt;
    return entry;
}

TEST(DeliveryQueue, EntriesComeOutInArrivalOrderAcrossBatches) {
    DeliveryQueue queue;
    EXPECT_EQ(queue.append(Batch(1, 3)), 3u);
    EXPECT_EQ(queue.append(Batch(4, 2)), 2u);
    for (std::uint8_t expected = 1; expected <= 5; ++expected) {
        auto e = take(queue);
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->data, std::vector<std::uint8_t>{expected});
        EXPECT_EQ(e->peerAddress, 0xC6120002u);
        EXPECT_EQ(e->peerPort, 62630);
    }
    EXPECT_FALSE(take(queue).has_value());
}

TEST(DeliveryQueue, WhatDoesNotFitIsDroppedAndCountedTheHeadIsKept) {
    DeliveryQueue queue(4);
    EXPECT_EQ(queue.append(Batch(1, 3)), 3u);
    EXPECT_EQ(queue.append(Batch(4, 3)), 1u);
    EXPECT_EQ(queue.droppedFull(), 2u);
    EXPECT_EQ(queue.size(), 4u);
    EXPECT_EQ(take(queue)->data.front(), 1);
    // Room again after a take.
    EXPECT_EQ(queue.append(Batch(7, 1)), 1u);
    EXPECT_EQ(queue.droppedFull(), 2u);
}

TEST(DeliveryQueue, ClearDropsEverythingWaiting) {
    DeliveryQueue queue;
    queue.append(Batch(1, 10));
    queue.clear();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(take(queue).has_value());
    EXPECT_EQ(queue.allocatedSlots(), 0u);
}

// The ring goes round many times without emptying: order and lengths hold
// when a slot is reused by a shorter datagram.
TEST(DeliveryQueue, TheRingKeepsOrderAndLengthsAcrossWrapAround) {
    DeliveryQueue queue(5, 8);
    std::uint8_t nextIn = 0;
    std::uint8_t nextOut = 0;
    queue.append(Batch(nextIn, 3, 8));
    nextIn += 3;
    for (int round = 0; round < 20; ++round) {
        const std::size_t length = 1 + static_cast<std::size_t>(round % 8);
        ASSERT_EQ(queue.append(Batch(nextIn, 2, length)), 2u);
        nextIn += 2;
        for (int k = 0; k < 2; ++k) {
            auto e = take(queue);
            ASSERT_TRUE(e.has_value());
            ASSERT_FALSE(e->data.empty());
            EXPECT_EQ(e->data.front(), nextOut++);
        }
    }
    // A datagram longer than a slot is cut to it.
    queue.clear();
    queue.append(Batch(9, 1, 20));
    EXPECT_EQ(take(queue)->data, std::vector<std::uint8_t>(8, 9));
}

// Storage comes in chunks as the ring reaches them and goes back, all but
// the first chunk, once the queue runs empty.
TEST(DeliveryQueue, StorageGrowsWithABurstAndIsGivenBackWhenDrained) {
    DeliveryQueue queue(DeliveryQueue::kDefaultCapacity, 1024);
    const std::size_t chunkSlots = DeliveryQueue::kChunkBytes / 1024;
    EXPECT_EQ(queue.allocatedSlots(), 0u);
    queue.append(Batch(0, 1));
    EXPECT_EQ(queue.allocatedSlots(), chunkSlots);
    queue.append(Batch(0, 2 * chunkSlots));
    EXPECT_EQ(queue.allocatedSlots(), 3 * chunkSlots);
    DeliveryEntry entry;
    while (queue.takeFront(entry)) {
    }
    EXPECT_EQ(queue.allocatedSlots(), chunkSlots);
    queue.resetSlotSize(64);
    EXPECT_EQ(queue.slotSize(), 64u);
    EXPECT_EQ(queue.allocatedSlots(), 0u);
}

// One producer and one consumer at the same time, as the receive thread and
// the user-interface thread use it: nothing is lost, duplicated or reordered.
TEST(DeliveryQueue, ProducerAndConsumerOnTwoThreadsKeepOrder) {
    constexpr std::uint32_t kTotal = 20000;
    // A small bound and small chunks: the ring wraps and chunks come and go
    // while both threads run.
    DeliveryQueue queue(3000, DeliveryQueue::kChunkBytes / 256);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::thread producer([&queue, deadline] {
        std::vector<std::array<std::uint8_t, 3>> bytes;
        std::vector<ReceivedDatagram> batch;
        for (std::uint32_t i = 0; i < kTotal;) {
            bytes.clear();
            batch.clear();
            for (; i < kTotal && bytes.size() < 37; ++i)
                bytes.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                                 static_cast<std::uint8_t>(i >> 16)});
            for (const auto& b : bytes)
                batch.push_back({b, nullptr, 0, 0});
            std::span<const ReceivedDatagram> rest(batch);
            while (!rest.empty() && std::chrono::steady_clock::now() < deadline) {
                rest = rest.subspan(queue.append(rest));
                std::this_thread::yield();
            }
        }
    });
    std::uint32_t next = 0;
    DeliveryEntry e;
    while (next < kTotal && std::chrono::steady_clock::now() < deadline) {
        if (!queue.takeFront(e)) {
            std::this_thread::yield();
            continue;
        }
        const std::uint32_t value =
            e.data.size() == 3 ? e.data[0] | (e.data[1] << 8) | (e.data[2] << 16) : kTotal;
        if (value != next) {
            // No ASSERT here: the producer must still be joined.
            ADD_FAILURE() << "expected datagram " << next << ", got " << value;
            break;
        }
        ++next;
    }
    producer.join();
    EXPECT_EQ(next, kTotal);
}

}  // namespace
}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <thread>

#include "net/deliveryqueue.h"

namespace kavren {
namespace {

DeliveryEntry entry(std::uint8_t tag) {
    DeliveryEntry e;
    e.data = {tag};
    e.peerIP = "198.18.0.2";
    e.peerPort = 62630;
    return e;
}

std::vector<DeliveryEntry> batchOf(std::uint8_t first, std::size_t count) {
    std::vector<DeliveryEntry> batch;
    for (std::size_t i = 0; i < count; ++i) {
        batch.push_back(entry(static_cast<std::uint8_t>(first + i)));
    }
    return batch;
}

TEST(DeliveryQueue, EntriesComeOutInArrivalOrderAcrossBatches) {
    DeliveryQueue queue;
    auto first = batchOf(1, 3);
    auto second = batchOf(4, 2);
    EXPECT_EQ(queue.append(first), 3u);
    EXPECT_EQ(queue.append(second), 2u);
    EXPECT_TRUE(first.empty());
    for (std::uint8_t expected = 1; expected <= 5; ++expected) {
        auto e = queue.takeFront();
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->data.front(), expected);
        EXPECT_EQ(e->peerIP, "198.18.0.2");
    }
    EXPECT_FALSE(queue.takeFront().has_value());
}

TEST(DeliveryQueue, WhatDoesNotFitIsDroppedAndCountedTheHeadIsKept) {
    DeliveryQueue queue(4);
    auto first = batchOf(1, 3);
    auto second = batchOf(4, 3);
    EXPECT_EQ(queue.append(first), 3u);
    EXPECT_EQ(queue.append(second), 1u);
    EXPECT_EQ(queue.droppedFull(), 2u);
    EXPECT_EQ(queue.size(), 4u);
    EXPECT_EQ(queue.takeFront()->data.front(), 1);
    // Room again after a take.
    auto third = batchOf(7, 1);
    EXPECT_EQ(queue.append(third), 1u);
    EXPECT_EQ(queue.droppedFull(), 2u);
}

TEST(DeliveryQueue, ClearDropsEverythingWaiting) {
    DeliveryQueue queue;
    auto batch = batchOf(1, 10);
    queue.append(batch);
    queue.clear();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(queue.takeFront().has_value());
}

// One producer and one consumer at the same time, as the receive thread and
// the user-interface thread use it: nothing is lost, duplicated or reordered.
TEST(DeliveryQueue, ProducerAndConsumerOnTwoThreadsKeepOrder) {
    constexpr std::uint32_t kTotal = 20000;
    DeliveryQueue queue(kTotal);
    std::thread producer([&queue] {
        std::vector<DeliveryEntry> batch;
        for (std::uint32_t i = 0; i < kTotal; ++i) {
            DeliveryEntry e;
            e.data = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                      static_cast<std::uint8_t>(i >> 16)};
            batch.push_back(std::move(e));
            if (batch.size() == 37)
                queue.append(batch);
        }
        queue.append(batch);
    });
    std::uint32_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (next < kTotal && std::chrono::steady_clock::now() < deadline) {
        auto e = queue.takeFront();
        if (!e) {
            std::this_thread::yield();
            continue;
        }
        const std::uint32_t value = e->data[0] | (e->data[1] << 8) | (e->data[2] << 16);
        ASSERT_EQ(value, next);
        ++next;
    }
    producer.join();
    EXPECT_EQ(next, kTotal);
    EXPECT_EQ(queue.droppedFull(), 0u);
}

}  // namespace
}  // namespace kavren

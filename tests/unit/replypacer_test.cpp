// SPDX-License-Identifier: GPL-3.0-or-later
// Reply pacing with a clock the test moves: where a slice ends, that a flood
// still hands control back, that every reply comes through once and in
// order, and what a slice costs when nothing is queued.
#include "usecases/replypacer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "devices/devicegrid.h"

namespace kavren {
namespace {

using namespace std::chrono_literals;

struct ShownStatus final : StatusSink {
    std::vector<std::string> shown;  // "panel:text" in the order shown
    void setStatusText(Panel panel, std::string_view text) override {
        shown.push_back(std::to_string(panel) + ":" + std::string(text));
    }
};

struct CountingObserver final : GridObserver {
    int appendNotices = 0;
    void gridReset() override {}
    void rowsAppended(int, int) override { ++appendNotices; }
    void cellChanged(int, int) override {}
    void headersChanged() override {}
};

// A queue of numbered replies. Each delivered reply lists a device and sets
// both status texts, as the reply handler does; each call of the deliverer
// costs `chunkCost` of the test's clock, and may let `arrivePerCall` more
// replies arrive meanwhile.
class ReplyPacerTest : public testing::Test {
protected:
    ReplyPacerTest() {
        grid.setUp();
        grid.setObserver(&observer);
    }

    void queueReplies(int count) {
        for (int i = 0; i < count; ++i)
            queued.push_back(nextReply++);
    }

    bool deliver(std::size_t maxEntries) {
        ++deliverCalls;
        now += chunkCost;
        for (std::size_t n = 0; n < maxEntries && !queued.empty(); ++n) {
            const int reply = queued.front();
            queued.pop_front();
            handled.push_back(reply);
            DeviceGrid::DeviceRowTexts texts;
            texts.mac = std::to_string(reply);
            grid.appendDeviceRow(std::move(texts));
            pacer.setStatusText(StatusSink::DevicePanel, "Device : " + std::to_string(reply));
            pacer.setStatusText(StatusSink::MessagePanel, "Get Device Information done.");
        }
        queueReplies(arrivePerCall);
        return !queued.empty();
    }

    std::chrono::steady_clock::time_point now{1h};
    std::chrono::microseconds chunkCost{100};
    int arrivePerCall = 0;
    int nextReply = 0;
    int deliverCalls = 0;
    std::deque<int> queued;
    std::vector<int> handled;
    DeviceGrid grid;
    CountingObserver observer;
    ShownStatus status;
    ReplyPacer pacer{grid, status, [this](std::size_t n) { return deliver(n); },
                     [this] { return now; }};
};

TEST_F(ReplyPacerTest, ASliceEndsOnceItsTimeIsUsedAndTheNextMayFollowAtOnce) {
    queueReplies(10000);
    chunkCost = 1ms;
    EXPECT_TRUE(pacer.runSlice());
    // The clock is read after each chunk: the fourth ends at the 4 ms mark.
    EXPECT_EQ(deliverCalls, 4);
    EXPECT_EQ(handled.size(), 4 * ReplyPacer::kChunk);
    EXPECT_EQ(pacer.delayBeforeSlice(), 0us);
}

TEST_F(ReplyPacerTest, AFloodThatOutrunsTheHandlerStillEndsEachSlice) {
    queueReplies(64);
    arrivePerCall = 2 * ReplyPacer::kChunk;  // twice as fast as handled
    for (int slice = 0; slice < 5; ++slice) {
        deliverCalls = 0;
        const auto start = now;
        EXPECT_TRUE(pacer.runSlice());
        EXPECT_LE(now - start, ReplyPacer::kSliceTime + chunkCost);
        EXPECT_EQ(deliverCalls, ReplyPacer::kSliceTime / chunkCost);
    }
}

TEST_F(ReplyPacerTest, EveryReplyComesThroughOnceInOrderWithOneStatusPerPanelAndSlice) {
    queueReplies(1000);
    chunkCost = 1ms;  // four chunks a slice: the replies take eight slices
    int slices = 0;
    while (pacer.runSlice())
        ++slices;
    ++slices;
    EXPECT_EQ(slices, 8);
    ASSERT_EQ(handled.size(), 1000U);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(handled[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(grid.rowCount(), 1000 + 2);
    EXPECT_EQ(observer.appendNotices, slices);
    ASSERT_EQ(status.shown.size(), 2U * static_cast<std::size_t>(slices));
    EXPECT_EQ(status.shown[status.shown.size() - 2], "0:Device : 999");
    EXPECT_EQ(status.shown.back(), "1:Get Device Information done.");
}

TEST_F(ReplyPacerTest, AnEmptyQueueCostsOneLookAndNothingShown) {
    EXPECT_FALSE(pacer.runSlice());
    EXPECT_EQ(deliverCalls, 1);
    EXPECT_EQ(observer.appendNotices, 0);
    EXPECT_TRUE(status.shown.empty());
    // After a slice that emptied the queue the next waits out the interval,
    // so a burst that starts now arrives in a few larger slices.
    EXPECT_EQ(pacer.delayBeforeSlice(), ReplyPacer::kInterval);
    now += ReplyPacer::kInterval;
    EXPECT_EQ(pacer.delayBeforeSlice(), 0us);
}

TEST_F(ReplyPacerTest, OutsideASliceAStatusTextIsShownAtOnce) {
    pacer.setStatusText(StatusSink::MessagePanel, "Setting OK");
    EXPECT_EQ(status.shown, (std::vector<std::string>{"1:Setting OK"}));
}

}  // namespace
}  // namespace kavren

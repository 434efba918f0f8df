// SPDX-License-Identifier: GPL-3.0-or-later
// Reply pacing with a clock the test moves: where a slice ends, that a flood
// still hands control back, that every reply comes through once and in
// order, and what a slice costs when nothing is queued.
#include "app/replypacer.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "devices/devicelist.h"
#include "tests/support/fakes.h"

namespace kavren::app {
namespace {

using namespace std::chrono_literals;

struct CountingObserver final : devices::DeviceListObserver {
    int appendNotices = 0;
    void listCleared() override {}
    void devicesAppended(int, int) override { ++appendNotices; }
    void fieldChanged(devices::DeviceField, int) override {}
};

// A queue of numbered replies. Each delivered reply lists a device and
// reports it, as the reply handler does; each call of the deliverer
// costs `chunkCost` of the test's clock, and may let `arrivePerCall` more
// replies arrive meanwhile.
class ReplyPacerTest : public testing::Test {
protected:
    ReplyPacerTest() { list.setObserver(&observer); }

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
            devices::DeviceRecord texts;
            texts.mac = std::to_string(reply);
            list.append(std::move(texts));
            pacer.deviceListed("dev", std::to_string(reply));
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
    devices::DeviceList list;
    CountingObserver observer;
    testsupport::RecordingReplyEvents heard;
    ReplyPacer pacer{list, heard, [this](std::size_t n) { return deliver(n); },
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

TEST_F(ReplyPacerTest, EveryReplyComesThroughOnceInOrderWithOneEventPerSlice) {
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
    EXPECT_EQ(list.size(), 1000);
    EXPECT_EQ(observer.appendNotices, slices);
    ASSERT_EQ(heard.log.size(), static_cast<std::size_t>(slices));
    EXPECT_EQ(heard.last(), "listed dev (999)");
}

TEST_F(ReplyPacerTest, AnEmptyQueueCostsOneLookAndNothingShown) {
    EXPECT_FALSE(pacer.runSlice());
    EXPECT_EQ(deliverCalls, 1);
    EXPECT_EQ(observer.appendNotices, 0);
    EXPECT_TRUE(heard.log.empty());
    // After a slice that emptied the queue the next waits out the interval,
    // so a burst that starts now arrives in a few larger slices.
    EXPECT_EQ(pacer.delayBeforeSlice(), ReplyPacer::kInterval);
    now += ReplyPacer::kInterval;
    EXPECT_EQ(pacer.delayBeforeSlice(), 0us);
}

TEST_F(ReplyPacerTest, OutsideASliceAnEventIsPassedAtOnce) {
    pacer.resultReceived("Pump", "01", "Setting OK", true);
    EXPECT_EQ(heard.log, (std::vector<std::string>{"result Pump (01): Setting OK"}));
}

// Within a slice only the latest device listed is passed on, and a full list
// only when it came after that event: the front end ends where it would
// have ended had it heard every event. Every result is passed, at once.
TEST_F(ReplyPacerTest, ASliceKeepsTheLatestDeviceEventAndALaterFullList) {
    struct Case {
        const char* what;
        std::function<void(ReplyPacer&)> events;
        std::vector<std::string> heard;
    };
    const std::vector<Case> cases = {
        {"listed, then a result",
         [](ReplyPacer& p) {
             p.deviceListed("Pump", "01");
             p.resultReceived("", "02", "Setting OK", true);
         },
         {"result  (02): Setting OK"}},
        {"a result, then listed",
         [](ReplyPacer& p) {
             p.resultReceived("Pump", "01", "Password Error", false);
             p.deviceListed("Valve", "02");
         },
         {"refused Pump (01): Password Error", "listed Valve (02)"}},
        {"two results",
         [](ReplyPacer& p) {
             p.resultReceived("Pump", "01", "Setting OK", true);
             p.resultReceived("Valve", "02", "Setting OK", true);
         },
         {"result Pump (01): Setting OK", "result Valve (02): Setting OK"}},
        {"listed, then the list full",
         [](ReplyPacer& p) {
             p.deviceListed("Pump", "01");
             p.listFull();
         },
         {"listed Pump (01)", "full"}},
        {"the list full, then a result",
         [](ReplyPacer& p) {
             p.listFull();
             p.resultReceived("Pump", "01", "Setting OK", true);
         },
         {"result Pump (01): Setting OK"}},
        {"the list full alone", [](ReplyPacer& p) { p.listFull(); }, {"full"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        heard.log.clear();
        bool delivered = false;
        ReplyPacer slicing{list, heard,
                           [&](std::size_t) {
                               if (!std::exchange(delivered, true))
                                   c.events(slicing);
                               return false;
                           },
                           [this] { return now; }};
        EXPECT_FALSE(slicing.runSlice());
        EXPECT_EQ(heard.log, c.heard);
        EXPECT_FALSE(slicing.runSlice());
        EXPECT_EQ(heard.log, c.heard) << "nothing is passed twice";
    }
}

}  // namespace
}  // namespace kavren::app

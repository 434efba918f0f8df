// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "usecases/discovery.h"

namespace kavren::devices {
class DeviceList;
}

namespace kavren::app {

// Hands queued replies to the reply handler in slices, so that a window
// answers input and repaints between them however long a burst lasts. The
// front end posts one call of runSlice() per turn of its event loop and
// posts again while it returns true; the pacer itself owns no thread, timer
// or event loop.
//
// While a slice runs the device list gathers its appended devices into one
// notification, and the handler's events are held here: at the end of the
// slice the front end hears only what the last replies left, the latest
// device listed and, when it came after that, the list being full. A result
// message is never held: each answers a request and counts on its own.
// Outside a slice an event passes straight through.
class ReplyPacer final : public usecases::ReplyEvents {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Hands up to maxEntries queued replies to the handler, in arrival order;
    // returns true when more remain.
    using DeliverReplies = std::function<bool(std::size_t maxEntries)>;

    // A slice lasts about this long.
    static constexpr std::chrono::microseconds kSliceTime{4000};
    // The clock is read after every this many replies of a slice.
    static constexpr std::size_t kChunk = 32;
    // When a slice found the queue empty, the next one waits until this long
    // after it: a burst then arrives in a few larger slices, and the window
    // repaints for each slice instead of for every few replies.
    static constexpr std::chrono::microseconds kInterval{6000};

    ReplyPacer(devices::DeviceList& list, usecases::ReplyEvents& heard, DeliverReplies deliver,
               Clock clock = &std::chrono::steady_clock::now);
    ReplyPacer(const ReplyPacer&) = delete;
    ReplyPacer& operator=(const ReplyPacer&) = delete;

    // How long to wait before the next slice may run; zero: at once.
    std::chrono::microseconds delayBeforeSlice() const;
    // Runs one slice; returns true when replies remain, so the caller posts
    // the next slice.
    bool runSlice();

    // Replaces the clock, for a measurement whose slices must not depend on
    // how fast the machine runs it (instruction counts under a simulator).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // ReplyEvents: the events of the reply handler.
    void deviceListed(std::string_view name, std::string_view mac) override;
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool accepted) override;
    void listFull() override;

private:
    enum class HeldDeviceEvent { None, Listed };

    void passHeldEvents();

    devices::DeviceList& m_devices;
    usecases::ReplyEvents& m_heard;
    const DeliverReplies m_deliver;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_lastSliceEnd{};
    bool m_lastSliceEmptied = true;
    int m_sliceDepth = 0;
    // Reused from slice to slice: holding a text allocates only when it is
    // longer than any held before.
    HeldDeviceEvent m_heldDeviceEvent = HeldDeviceEvent::None;
    std::string m_heldName;
    std::string m_heldMac;
    bool m_listFullHeld = false;
};

}  // namespace kavren::app

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/replypacer.h"

#include <utility>

#include "devices/devicelist.h"

namespace kavren::app {

ReplyPacer::ReplyPacer(devices::DeviceList& list, usecases::ReplyEvents& heard,
                       DeliverReplies deliver, Clock clock)
    : m_devices(list), m_heard(heard), m_deliver(std::move(deliver)), m_clock(std::move(clock)) {}

std::chrono::microseconds ReplyPacer::delayBeforeSlice() const {
    if (!m_lastSliceEmptied)
        return std::chrono::microseconds::zero();
    const auto since = m_clock() - m_lastSliceEnd;
    if (since >= kInterval)
        return std::chrono::microseconds::zero();
    return std::chrono::ceil<std::chrono::microseconds>(kInterval - since);
}

bool ReplyPacer::runSlice() {
    // Each reply still goes through the handler on its own, in arrival order;
    // only what the view and the front end hear of is gathered until the
    // slice ends. The guard also ends the slice when the handler throws; a
    // handler that runs an event loop (a modal message) may start a nested
    // slice, hence a depth.
    struct Slice {
        ReplyPacer& pacer;
        explicit Slice(ReplyPacer& p) : pacer(p) {
            pacer.m_devices.beginAppendBatch();
            ++pacer.m_sliceDepth;
        }
        ~Slice() {
            --pacer.m_sliceDepth;
            pacer.m_devices.endAppendBatch();
            pacer.passHeldEvents();
        }
        Slice(const Slice&) = delete;
        Slice& operator=(const Slice&) = delete;
    };
    const auto deadline = m_clock() + kSliceTime;
    bool more = false;
    {
        const Slice slice(*this);
        do {
            more = m_deliver(kChunk);
        } while (more && m_clock() < deadline);
    }
    m_lastSliceEnd = m_clock();
    m_lastSliceEmptied = !more;
    return more;
}

void ReplyPacer::deviceListed(std::string_view name, std::string_view mac) {
    if (m_sliceDepth == 0) {
        m_heard.deviceListed(name, mac);
        return;
    }
    m_heldDeviceEvent = HeldDeviceEvent::Listed;
    m_heldName.assign(name);
    m_heldMac.assign(mac);
    m_listFullHeld = false;
}

void ReplyPacer::resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                                bool accepted) {
    // A result is a device's answer to a request, which the front end keeps
    // for each device: none may be folded into a later one. Passed at once,
    // it supersedes whatever the slice held before it.
    m_heldDeviceEvent = HeldDeviceEvent::None;
    m_listFullHeld = false;
    m_heard.resultReceived(name, mac, text, accepted);
}

void ReplyPacer::listFull() {
    if (m_sliceDepth == 0) {
        m_heard.listFull();
        return;
    }
    m_listFullHeld = true;
}

void ReplyPacer::passHeldEvents() {
    // Each device event replaces all that was held before it, and a full list
    // follows the device event it came after: the front end ends where it
    // would have ended had it heard every event one by one.
    const HeldDeviceEvent held = std::exchange(m_heldDeviceEvent, HeldDeviceEvent::None);
    if (held == HeldDeviceEvent::Listed)
        m_heard.deviceListed(m_heldName, m_heldMac);
    if (std::exchange(m_listFullHeld, false))
        m_heard.listFull();
}

}  // namespace kavren::app

// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/replypacer.h"

#include "devices/devicegrid.h"

namespace kavren {

ReplyPacer::ReplyPacer(DeviceGrid& grid, StatusSink& shown, DeliverReplies deliver, Clock clock)
    : m_grid(grid), m_shown(shown), m_deliver(std::move(deliver)), m_clock(std::move(clock)) {}

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
    // only what the view and the status bar hear of is gathered until the
    // slice ends. The guard also ends the slice when the handler throws; a
    // handler that runs an event loop (a message box) may start a nested
    // slice, hence a depth.
    struct Slice {
        ReplyPacer& pacer;
        explicit Slice(ReplyPacer& p) : pacer(p) {
            pacer.m_grid.beginAppendBatch();
            ++pacer.m_sliceDepth;
        }
        ~Slice() {
            --pacer.m_sliceDepth;
            pacer.m_grid.endAppendBatch();
            pacer.showHeldStatus();
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

void ReplyPacer::setStatusText(Panel panel, std::string_view text) {
    const auto index = static_cast<std::size_t>(panel);
    if (m_sliceDepth == 0) {
        m_shown.setStatusText(panel, text);
        return;
    }
    m_heldStatus.at(index).assign(text);
    m_statusHeld.at(index) = true;
}

void ReplyPacer::showHeldStatus() {
    for (std::size_t i = 0; i < m_heldStatus.size(); ++i) {
        if (m_statusHeld[i]) {
            m_statusHeld[i] = false;
            m_shown.setStatusText(static_cast<Panel>(i), m_heldStatus[i]);
        }
    }
}

}  // namespace kavren

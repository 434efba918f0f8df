// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/probeapplication.h"

#include <QWidget>
#include <QWindow>
#include <chrono>
#include <ctime>

#include "bench/benchclock.h"

namespace kavren::bench {

namespace {

// Per event delivery: a clock read, not a resource-usage call.
double threadCpuTimeMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

ProbeApplication::ProbeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

ProbeApplication::~ProbeApplication() = default;

void ProbeApplication::startTiming() {
    m_deliveries.clear();
    m_deliveries.reserve(1 << 20);
    m_deliveriesCpu.clear();
    m_deliveriesCpu.reserve(1 << 20);
    m_longest = 0;
    m_longestType = 0;
    m_timing = true;
}

bool ProbeApplication::notify(QObject* receiver, QEvent* event) {
    const bool outermost = m_depth == 0;
    const auto type = event->type();
    const char* receiverClass = receiver->metaObject()->className();
    const auto started = std::chrono::steady_clock::now();
    const double cpuStarted = outermost && m_timing ? threadCpuTimeMs() : 0;
    ++m_depth;
    bool handled = false;
    try {
        handled = QApplication::notify(receiver, event);
    } catch (...) {
        --m_depth;
        throw;
    }
    --m_depth;
    if (outermost && m_timing) {
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
        if (m_deliveries.size() < m_deliveries.capacity()) {
            m_deliveries.push_back(ms);
            m_deliveriesCpu.push_back(threadCpuTimeMs() - cpuStarted);
        }
        if (ms > m_longest) {
            m_longest = ms;
            m_longestType = static_cast<int>(type);
            m_longestClass = receiverClass;
        }
    }
    // The offscreen platform paints a window while it delivers its expose
    // event, or on the first update request after it.
    if (m_firstPaintNs == 0 && m_watched &&
        (type == QEvent::Expose || type == QEvent::UpdateRequest || type == QEvent::Paint) &&
        (receiver == m_watched.data() || receiver == m_watched->windowHandle())) {
        m_firstPaintNs = monotonicNs();
    }
    return handled;
}

}  // namespace kavren::bench

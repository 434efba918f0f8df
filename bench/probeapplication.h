// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace kavren::bench {

// The application object of the benchmarks: it times every event delivered
// from the event loop itself (not the ones sent from inside another event's
// handling), so a long pass of the user-interface thread shows up as one
// long delivery. It also notes when a watched top-level window was first
// painted.
class ProbeApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProbeApplication)

public:
    ProbeApplication(int& argc, char** argv);
    ~ProbeApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    void startTiming();
    void stopTiming() { m_timing = false; }
    // Milliseconds of every timed delivery, in order: as the clock on the
    // wall saw them, and as CPU time of this thread (the difference is time
    // the scheduler gave to other threads of a busy machine).
    const std::vector<double>& deliveries() const { return m_deliveries; }
    const std::vector<double>& deliveriesCpu() const { return m_deliveriesCpu; }
    int longestEventType() const { return m_longestType; }
    const QByteArray& longestReceiverClass() const { return m_longestClass; }

    void watchFirstPaint(QWidget* window) { m_watched = window; }
    // CLOCK_MONOTONIC when the watched window's first paint had been
    // delivered; 0 before.
    std::int64_t firstPaintNs() const { return m_firstPaintNs; }

private:
    bool m_timing = false;
    int m_depth = 0;
    std::vector<double> m_deliveries;
    std::vector<double> m_deliveriesCpu;
    double m_longest = 0;
    int m_longestType = 0;
    QByteArray m_longestClass;
    QPointer<QWidget> m_watched;
    std::int64_t m_firstPaintNs = 0;
};

}  // namespace kavren::bench

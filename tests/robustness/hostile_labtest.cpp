// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window under a flood of hostile datagrams on its reply port,
// inside the lab: tools/flood.py sends from the device namespace while the
// emulator's devices answer a Refresh. Every case starts with
// KAVREN_REQUIRE_LAB(), before anything is opened or sent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "app/devicetablemodel.h"
#include "app/mainfrom.h"
#include "app/textbridge.h"
#include "tests/lab/emulatorprocess.h"
#include "tests/lab/labguard.h"
#include "tests/lab/udpcounters.h"
#include "tests/robustness/labtools.h"
#include "tests/support/windowlabfixture.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using namespace std::chrono_literals;
using app::TMainF;
using testsupport::widget;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAsan = true;
#else
constexpr bool kUnderAsan = false;
#endif
#else
constexpr bool kUnderAsan = false;
#endif

// 200,000 by default; KAVREN_FLOOD_COUNT changes it for a bench run.
int floodCount() {
    const char* text = std::getenv("KAVREN_FLOOD_COUNT");
    const int count = text ? std::atoi(text) : 0;
    return count > 0 ? std::min(count, 1000000) : 200000;
}

// Watches the event loop while the flood runs: the longest gap between
// ticks of a 10 ms timer, the longest wait of a posted click on the check
// box, and the longest the delivery queue ever got.
class LoopWatch final {
public:
    explicit LoopWatch(TMainF& window) : m_window(window) {
        m_clock.start();
        m_ticker.setInterval(10);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longestGap = std::max(m_longestGap, now - m_lastTick);
            m_lastTick = now;
            m_longestQueue = std::max(m_longestQueue, m_window.IdUDPServer.pendingCount());
        });
        m_prober.setInterval(100);
        QObject::connect(&m_prober, &QTimer::timeout, [this] { probeClick(); });
        m_ticker.start();
        m_prober.start();
    }
    void stop() {
        m_ticker.stop();
        m_prober.stop();
    }
    qint64 longestGap() const { return m_longestGap; }
    qint64 longestClickWait() const { return m_longestClickWait; }
    int clicksAnswered() const { return m_clicks; }
    std::size_t longestQueue() const { return m_longestQueue; }

private:
    // A click posted like one from the window system: it waits behind
    // whatever is queued, so its wait shows how responsive the window is.
    void probeClick() {
        const qint64 posted = m_clock.elapsed();
        QCheckBox* const box = widget<QCheckBox>(m_window, "ChkBcast");
        QMetaObject::invokeMethod(
            box,
            [this, box, posted] {
                const bool before = box->isChecked();
                box->click();
                if (box->isChecked() != before)
                    ++m_clicks;
                m_longestClickWait = std::max(m_longestClickWait, m_clock.elapsed() - posted);
            },
            Qt::QueuedConnection);
    }

    TMainF& m_window;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    QTimer m_prober;
    qint64 m_lastTick = 0;
    qint64 m_longestGap = 0;
    qint64 m_longestClickWait = 0;
    int m_clicks = 0;
    std::size_t m_longestQueue = 0;
};

class HostileTrafficTest : public testsupport::WindowLabTest {
protected:
    void TearDown() override {
        WindowLabTest::TearDown();
        if (!phase2File.empty())
            std::remove(phase2File.c_str());
    }

    bool openWindow(app::MainWindowServices services = {}) {
        window = testsupport::openProgramWindows(std::move(services));
        window->show();
        if (!window->IdUDPServer.active()) {
            ADD_FAILURE() << "receiving endpoint not open";
            return false;
        }
        // Every datagram that reaches the handler is counted on its way.
        auto handler = window->IdUDPServer.OnUDPRead;
        window->IdUDPServer.OnUDPRead = [this, handler](net::TIdUDPServer& server,
                                                        std::span<const std::uint8_t> data,
                                                        net::TIdSocketHandle& binding) {
            ++delivered;
            handler(server, data, binding);
        };
        return true;
    }

    QString panel(int index) const {
        return widget<QLabel>(*window, QStringLiteral("StatusPanel%1").arg(index))->text();
    }

    // Every listed row is one of the hundred devices, with its own texts.
    void expectOnlyTheHundred(bool allOfThem) {
        std::set<std::string> known;
        for (const LabDevice& d : devices)
            known.insert(d.mac);
        const DeviceGrid& grid = window->grid();
        for (int row = 1; row <= grid.deviceRowCount(); ++row) {
            EXPECT_TRUE(known.count(grid.cell(DeviceGrid::ColMac, row)))
                << "row " << row << ": " << grid.cell(DeviceGrid::ColMac, row);
        }
        if (!allOfThem)
            return;
        EXPECT_EQ(grid.deviceRowCount(), 100);
        for (const LabDevice& d : devices) {
            const auto row = window->deviceList().findByMac(d.mac);
            ASSERT_TRUE(row) << d.mac << " is not listed";
            EXPECT_EQ(grid.cell(DeviceGrid::ColName, *row), d.name) << d.mac;
            EXPECT_EQ(grid.cell(DeviceGrid::ColVersion, *row), d.version) << d.mac;
            EXPECT_EQ(grid.cell(DeviceGrid::ColDescription, *row), d.description) << d.mac;
            EXPECT_EQ(grid.cell(DeviceGrid::ColDeviceIp, *row), d.ip) << d.mac;
            EXPECT_EQ(grid.cell(DeviceGrid::ColIp, *row), d.ip) << d.mac;
            EXPECT_EQ(grid.cell(DeviceGrid::ColGateway, *row), "198.18.0.1") << d.mac;
        }
    }

    std::vector<LabDevice> devices = hundredDevices();
    std::string phase2File;
    std::uint64_t delivered = 0;
};

TEST_F(HostileTrafficTest, AFloodDuringRefreshLeavesExactlyTheHundredDevicesWithTheirTexts) {
    KAVREN_REQUIRE_LAB();
    const int count = floodCount();
    deviceFile = writeDeviceFile(devices);
    ASSERT_FALSE(deviceFile.empty());
    phase2File = deviceFile + ".phase2";
    // Each reply five times over eight seconds: a genuine reply that finds
    // the queue full during the flood is dropped like any other datagram,
    // and one of its repeats comes once the flood's first half is over.
    emulator = std::make_unique<lab::EmulatorProcess>(std::vector<std::string>{
        "--devices", deviceFile, "--repeat", "5", "--jitter-ms", "8000", "--lifetime", "90"});
    std::string error;
    ASSERT_TRUE(emulator->start(&error)) << error;
    ASSERT_TRUE(openWindow());

    const std::int64_t kernelDropsBefore = lab::udpReceiveBufferErrors();
    const long residentBefore = peakResidentKb();
    FloodProcess flood(deviceFile, count, phase2File);
    ASSERT_TRUE(flood.start(&error)) << error;
    LoopWatch watch(*window);
    QElapsedTimer clock;
    clock.start();
    widget<QPushButton>(*window, "BtnRefresh")->click();

    // The duplicates of the hundred MACs come only once all hundred are
    // listed: before that, a duplicate would rightly be taken as the device.
    const bool listed =
        QTest::qWaitFor([&] { return window->grid().deviceRowCount() >= 100; }, 30000);
    const qint64 listedAfter = clock.elapsed();
    std::ofstream(phase2File) << "go\n";
    const bool ended =
        QTest::qWaitFor([&] { return panel(1) == toQt(FloodProcess::endText()); }, 60000);
    const qint64 endedAfter = clock.elapsed();
    const std::optional<std::string> summary = flood.finish(20s);
    QTest::qWait(300);  // the closing message's repeats and any late reply
    watch.stop();

    // A late reply taken from the socket between reading the counters and
    // the queue would count in one and not the other: read until they agree
    // (no datagram in between), for at most two seconds.
    net::ReceiveStatistics stats = window->IdUDPServer.statistics();
    static_cast<void>(QTest::qWaitFor(
        [&] {
            stats = window->IdUDPServer.statistics();
            return stats.received == delivered + stats.queueFullDropped + stats.zeroLengthDropped +
                                         window->IdUDPServer.pendingCount();
        },
        2000));
    const std::int64_t kernelDrops = lab::udpReceiveBufferErrors() - kernelDropsBefore;
    const long residentPeak = peakResidentKb();
    std::printf(
        "flood: %s"
        "rows listed %d after %lld ms; flood handled after %lld ms\n"
        "receive thread: received %llu, truncated %llu, empty %llu, dropped by the queue's "
        "bound %llu; delivered %llu; kernel buffer drops %llu\n"
        "longest queue %zu of %zu; longest timer gap %lld ms; posted clicks answered %d, "
        "longest wait %lld ms\n"
        "peak RSS %ld kB (before the flood %ld kB)\n",
        summary ? summary->c_str() : "(no summary)\n", window->grid().deviceRowCount(),
        static_cast<long long>(listedAfter), static_cast<long long>(endedAfter),
        static_cast<unsigned long long>(stats.received),
        static_cast<unsigned long long>(stats.truncated),
        static_cast<unsigned long long>(stats.zeroLengthDropped),
        static_cast<unsigned long long>(stats.queueFullDropped),
        static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(kernelDrops),
        watch.longestQueue(), net::DeliveryQueue::kDefaultCapacity,
        static_cast<long long>(watch.longestGap()), watch.clicksAnswered(),
        static_cast<long long>(watch.longestClickWait()), residentPeak, residentBefore);

    ASSERT_TRUE(summary) << "the flood did not end cleanly";
    EXPECT_EQ(FloodProcess::summaryNumber(*summary, "sent"), count);
    EXPECT_TRUE(listed) << window->grid().deviceRowCount() << " rows";
    EXPECT_TRUE(ended) << "the flood's closing message was never shown";
    expectOnlyTheHundred(true);
    EXPECT_EQ(window->gridModel()->rowCount(), window->grid().rowCount() - 1);

    // Everything taken from the socket was delivered, dropped at the bound
    // or (empty) never queued.
    EXPECT_EQ(stats.received, delivered + stats.queueFullDropped + stats.zeroLengthDropped +
                                  window->IdUDPServer.pendingCount());
    EXPECT_GT(stats.received, static_cast<std::uint64_t>(count) / 2);
    EXPECT_GT(stats.truncated, 0u);  // the oversized ones were cut to 1024 bytes
    EXPECT_LE(watch.longestQueue(), net::DeliveryQueue::kDefaultCapacity);
    EXPECT_LT(watch.longestGap(), 1000);
    EXPECT_GT(watch.clicksAnswered(), 0);
    EXPECT_LT(watch.longestClickWait(), 1000);
    if (!kUnderAsan) {
        // The queue's bound at 1024 bytes an entry is some 70 MB; far less
        // is expected, as the window keeps up.
        EXPECT_LT(residentPeak - residentBefore, 150 * 1024);
    }
    // Still usable: the panel shows what a device sends, literally.
    ASSERT_TRUE(sendToLoopback(
        testsupport::resultReply({0x02, 0xC4, 0x7E, 0x00, 0x00, 0x07}, "Setting OK")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel(1) == QStringLiteral("Setting OK"); }, 3000));
}

// Replies with a MAC each, as many as a forger likes: the list stops at its
// bound (made small here, the same rule holds at 100,000), says so in the
// status bar, and the window answers clicks and stays small meanwhile.
TEST_F(HostileTrafficTest, InventedDevicesPastTheBoundAreNotListedAndTheWindowCarriesOn) {
    KAVREN_REQUIRE_LAB();
    constexpr int kBound = 3000, kInvented = 8000;
    ASSERT_TRUE(startEmulator({"--generate", std::to_string(kInvented), "--burst"}));
    app::MainWindowServices services;
    services.maxDevices = kBound;
    ASSERT_TRUE(openWindow(std::move(services)));
    const long residentBefore = peakResidentKb();
    LoopWatch watch(*window);
    widget<QPushButton>(*window, "BtnRefresh")->click();
    const QString full = QStringLiteral("Device list full: further devices are not listed.");
    const bool said = QTest::qWaitFor([&] { return panel(1) == full; }, 30000);
    QTest::qWait(500);  // the rest of the burst
    watch.stop();
    const long growth = peakResidentKb() - residentBefore;
    std::printf(
        "bound %d of %d invented: rows %d, delivered %llu, RSS growth %ld kB, longest "
        "click wait %lld ms\n",
        kBound, kInvented, window->grid().deviceRowCount(),
        static_cast<unsigned long long>(delivered), growth,
        static_cast<long long>(watch.longestClickWait()));
    EXPECT_TRUE(said) << panel(1).toStdString();
    EXPECT_EQ(window->grid().deviceRowCount(), kBound);
    EXPECT_EQ(window->gridModel()->rowCount(), kBound + 1);
    EXPECT_GT(watch.clicksAnswered(), 0);
    EXPECT_LT(watch.longestClickWait(), 1000);
    if (!kUnderAsan) {
        // Rows cost well under 1 kB each; the queue holds at most the burst.
        EXPECT_LT(growth, 40 * 1024);
    }
}

TEST_F(HostileTrafficTest, AStalledWindowHoldsNoMoreThanTheQueuesBoundAndCatchesUp) {
    KAVREN_REQUIRE_LAB();
    deviceFile = writeDeviceFile(devices);
    ASSERT_FALSE(deviceFile.empty());
    ASSERT_TRUE(openWindow());
    const long residentBefore = peakResidentKb();
    // The whole flood arrives while the user-interface thread is blocked in
    // finish(): only the receive thread runs, and the queue fills to its
    // bound. Every datagram is longer than the 1024 bytes the receiver
    // takes, up to 8 KB: the queue's memory must not grow with them.
    // Duplicates come from the start here: with no Refresh, each of the
    // hundred MACs may be added once, by whichever reply comes first.
    const int count = 100000;
    FloodProcess flood(deviceFile, count, {}, {"--oversized-only", "--max-size", "8192"});
    std::string error;
    ASSERT_TRUE(flood.start(&error)) << error;
    const std::optional<std::string> summary = flood.finish(60s);
    ASSERT_TRUE(summary) << "the flood did not end cleanly";
    std::this_thread::sleep_for(300ms);  // the receive thread takes the rest

    const std::size_t held = window->IdUDPServer.pendingCount();
    const net::ReceiveStatistics stalled = window->IdUDPServer.statistics();
    std::printf("stalled window: flood %sreceived %llu, queued %zu, dropped by the bound %llu\n",
                summary->c_str(), static_cast<unsigned long long>(stalled.received), held,
                static_cast<unsigned long long>(stalled.queueFullDropped));
    EXPECT_LE(held, net::DeliveryQueue::kDefaultCapacity);
    // All but the flood's three closing messages were cut to 1024 bytes.
    EXPECT_GE(stalled.truncated + 3, stalled.received - stalled.zeroLengthDropped);
    if (stalled.received - stalled.zeroLengthDropped > net::DeliveryQueue::kDefaultCapacity) {
        EXPECT_EQ(held, net::DeliveryQueue::kDefaultCapacity);
        EXPECT_EQ(stalled.queueFullDropped, stalled.received - stalled.zeroLengthDropped -
                                                net::DeliveryQueue::kDefaultCapacity);
    }

    // Once the thread is free again, the queue drains in slices and the
    // window answers meanwhile.
    LoopWatch watch(*window);
    const bool drained =
        QTest::qWaitFor([&] { return window->IdUDPServer.pendingCount() == 0; }, 30000);
    QTest::qWait(200);
    watch.stop();
    const long residentPeak = peakResidentKb();
    std::printf(
        "drained: longest timer gap %lld ms, longest click wait %lld ms, peak RSS %ld kB "
        "(before %ld kB), rows %d\n",
        static_cast<long long>(watch.longestGap()),
        static_cast<long long>(watch.longestClickWait()), residentPeak, residentBefore,
        window->grid().deviceRowCount());
    EXPECT_TRUE(drained);
    EXPECT_LT(watch.longestGap(), 1000);
    EXPECT_LT(watch.longestClickWait(), 1000);
    EXPECT_LE(window->grid().deviceRowCount(), 100);
    expectOnlyTheHundred(false);
    if (!kUnderAsan) {
        EXPECT_LT(residentPeak - residentBefore, 150 * 1024);
    }

    // A genuine reply after the flood is listed as usual.
    testsupport::DeviceTexts late;
    late.mac = {0x02, 0xC4, 0x7E, 0x01, 0x00, 0x01};
    late.name = "After the flood";
    ASSERT_TRUE(sendToLoopback(testsupport::infoReply(late)));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->deviceList().findByMac("02-C4-7E-01-00-01").has_value(); }, 3000));
}

}  // namespace
}  // namespace kavren::app

// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, offscreen, against the emulator in the lab. Modes:
//   window COUNT                 one Refresh answered by COUNT devices: rows
//                                listed, time from the first reply to the last
//                                row, event deliveries, a click, memory
//   startup-series ROUNDS        start-up of the real window against a bare
//                                Qt main window with one table view
//   close-series ROUNDS COUNT    closing the window during a burst
//   replycost BASE MEASURED      for callgrind: BASE rows listed first, then
//                                MEASURED more replies with instrumentation on
// (startup-child and close-child are the processes the series start.)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/cfgdlg.h"
#include "app/devicetablemodel.h"
#include "app/mainfrom.h"
#include "app/pwddlg.h"
#include "bench/benchclock.h"
#include "bench/firstreplysniffer.h"
#include "bench/probeapplication.h"
#include "lab/udpcounters.h"
#include "protocol/packets.h"
#include "support/windowsupport.h"

extern char** environ;

namespace kavren::bench {
namespace {

using app::TMainF;

// Runs the event loop, as exec() would, until done() holds or the time is
// up. With a model, done() is asked whenever it announces rows (and every
// 50 ms besides), so the measured loop is not woken by a polling timer.
bool runUntil(const std::function<bool()>& done, int timeoutMs,
              const QAbstractItemModel* rowsFrom = nullptr) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(rowsFrom ? 50 : 1);
    const auto ask = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&check, &QTimer::timeout, &loop, ask);
    if (rowsFrom)
        QObject::connect(rowsFrom, &QAbstractItemModel::rowsInserted, &loop, ask);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return done();
}

void postClick(QWidget* target) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(at);
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
}

int listedRows(const app::TMainF& window) {
    return window.gridModel()->rowCount() - 1;  // less the trailing row
}

int windowMode(ProbeApplication& app, int count) {
    requireLab("kavren_window_bench");
    // The window alone, on the system's adapters: nothing here asks the
    // dialogs.
    app::DeviceSession session(app::MainWindowServices{net::makePlatformAdapterQuery()});
    app::TMainF window(session);
    ::MainF = &window;
    window.show();
    runUntil([] { return false; }, 300);  // start-up settles
    if (!window.IdUDPServer.active()) {
        std::fprintf(stderr, "receiving endpoint not open\n");
        return 1;
    }
    const std::int64_t rssBefore = residentBytes();
    const std::int64_t errorsBefore = lab::udpReceiveBufferErrors();

    std::int64_t listedNs = 0;
    std::int64_t clickPostedNs = 0;
    std::int64_t clickAnsweredNs = 0;
    QObject::connect(window.ChkBcast, &QCheckBox::toggled, &window, [&] {
        if (clickAnsweredNs == 0)
            clickAnsweredNs = monotonicNs();
    });
    QObject::connect(window.gridModel(), &QAbstractItemModel::rowsInserted, &window, [&] {
        const int rows = listedRows(window);
        if (clickPostedNs == 0 && rows >= count / 2) {
            clickPostedNs = monotonicNs();
            postClick(window.ChkBcast);
        }
        if (listedNs == 0 && rows >= count)
            listedNs = realtimeNs();
    });

    // Where the time of a long pass went: single handler calls, and the row
    // insertions the view hears of.
    double longestHandlerMs = 0;
    double longestInsertMs = 0;
    auto handler = window.IdUDPServer.OnUDPRead;
    window.IdUDPServer.OnUDPRead = [&](net::TIdUDPServer& server,
                                       std::span<const std::uint8_t> data,
                                       net::TIdSocketHandle& binding) {
        const std::int64_t started = monotonicNs();
        handler(server, data, binding);
        longestHandlerMs =
            std::max(longestHandlerMs, static_cast<double>(monotonicNs() - started) / 1e6);
    };
    std::int64_t insertStarted = 0;
    QObject::connect(window.gridModel(), &QAbstractItemModel::rowsAboutToBeInserted, &window,
                     [&] { insertStarted = monotonicNs(); });
    QObject::connect(window.gridModel(), &QAbstractItemModel::rowsInserted, &window, [&] {
        longestInsertMs =
            std::max(longestInsertMs, static_cast<double>(monotonicNs() - insertStarted) / 1e6);
    });

    FirstReplySniffer sniffer;
    if (!sniffer.start()) {
        std::fprintf(stderr, "no packet socket\n");
        return 1;
    }
    app.startTiming();
    const double processCpuBefore = processCpuMs();
    const double threadCpuBefore = threadCpuMs();
    const std::int64_t refreshNs = monotonicNs();
    window.BtnRefresh->click();
    runUntil([&] { return listedNs != 0; }, 30000, window.gridModel());
    app.stopTiming();
    const std::int64_t loopEndNs = monotonicNs();
    const double processCpu = processCpuMs() - processCpuBefore;
    const double threadCpu = threadCpuMs() - threadCpuBefore;
    runUntil([&] { return window.IdUDPServer.pendingCount() == 0; }, 2000);
    runUntil([] { return false; }, 200);
    sniffer.stop();

    const auto stats = window.IdUDPServer.statistics();
    const auto& passes = app.deliveries();
    const double longest = passes.empty() ? 0 : *std::max_element(passes.begin(), passes.end());
    const std::int64_t first = sniffer.firstReplyNs();
    std::printf("rows=%d\n", listedRows(window));
    std::printf("grid_rows=%d\n", window.grid().deviceRowCount());
    std::printf("window_ms=%.3f\n",
                first > 0 && listedNs > 0 ? static_cast<double>(listedNs - first) / 1e6 : -1.0);
    std::printf("refresh_to_listed_ms=%.3f\n", static_cast<double>(loopEndNs - refreshNs) / 1e6);
    std::printf("deliveries=%zu\n", passes.size());
    std::printf("cpu_process_ms=%.1f\n", processCpu);
    std::printf("cpu_ui_thread_ms=%.1f\n", threadCpu);
    std::printf("pass_max_ms=%.3f\n", longest);
    std::printf("pass_max_event_type=%d\n", app.longestEventType());
    std::printf("pass_max_receiver=%s\n", app.longestReceiverClass().constData());
    std::printf("pass_p99_ms=%.3f\n", percentile(passes, 99));
    const auto& cpu = app.deliveriesCpu();
    std::printf("pass_cpu_max_ms=%.3f\n",
                cpu.empty() ? 0 : *std::max_element(cpu.begin(), cpu.end()));
    std::printf("pass_cpu_p99_ms=%.3f\n", percentile(cpu, 99));
    std::printf("handler_max_ms=%.3f\n", longestHandlerMs);
    std::printf("insert_max_ms=%.3f\n", longestInsertMs);
    std::printf("click_ms=%.3f\n", clickAnsweredNs > 0
                                       ? static_cast<double>(clickAnsweredNs - clickPostedNs) / 1e6
                                       : -1.0);
    std::printf("rss_per_device_bytes=%.1f\n",
                static_cast<double>(residentBytes() - rssBefore) / std::max(1, count));
    std::printf("rcvbuf_errors=%lld\n",
                static_cast<long long>(lab::udpReceiveBufferErrors() - errorsBefore));
    std::printf("queue_dropped=%llu\n", static_cast<unsigned long long>(stats.queueFullDropped));
    std::printf("granted_rcvbuf=%d\n", window.IdUDPServer.grantedReceiveBuffer());
    ::MainF = nullptr;
    return 0;
}

// Starts this program again with the given arguments; the child's first
// output line is returned, and its exit waited for.
struct ChildRun {
    std::int64_t startedNs = 0;
    std::string firstLine;
    std::int64_t endedNs = 0;
    int status = -1;
};

ChildRun runChild(const std::vector<std::string>& args) {
    ChildRun run;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    std::string self = "/proc/self/exe";
    argv.push_back(self.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    run.startedNs = monotonicNs();
    const int spawned =
        ::posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return run;
    }
    char c = 0;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
        run.firstLine += c;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.endedNs = monotonicNs();
    run.status = status;
    ::close(pipeFds[0]);
    return run;
}

double median(std::vector<double> v) {
    return percentile(std::move(v), 50);
}

int startupChild(int argc, char** argv, bool real) {
    requireLab("kavren_window_bench");
    ProbeApplication app(argc, argv);
    if (real) {
        // As the program starts: the main window, then the two dialogs.
        std::unique_ptr<app::TMainF> window = testsupport::openProgramWindows();
        app.watchFirstPaint(window.get());
        window->show();
        runUntil([&] { return app.firstPaintNs() != 0; }, 5000);
        std::printf("%lld\n", static_cast<long long>(app.firstPaintNs()));
        std::fflush(stdout);
        testsupport::closeProgramWindows(window);
    } else {
        QMainWindow window;
        auto* table = new QTableView(&window);
        window.setCentralWidget(table);
        app.watchFirstPaint(&window);
        window.show();
        runUntil([&] { return app.firstPaintNs() != 0; }, 5000);
        std::printf("%lld\n", static_cast<long long>(app.firstPaintNs()));
        std::fflush(stdout);
    }
    return 0;
}

int startupSeries(int rounds) {
    requireLab("kavren_window_bench");
    std::vector<double> real, bare, ratios;
    for (int i = 0; i < rounds; ++i) {
        for (const bool isReal : {i % 2 == 0, i % 2 != 0}) {
            const ChildRun run = runChild({"startup-child", isReal ? "real" : "bare"});
            const double ms =
                static_cast<double>(std::stoll(run.firstLine.empty() ? "0" : run.firstLine) -
                                    run.startedNs) /
                1e6;
            (isReal ? real : bare).push_back(ms);
        }
        if (bare.back() > 0)
            ratios.push_back(real.back() / bare.back());
    }
    std::printf("startup_real_ms=%.2f\n", median(real));
    std::printf("startup_bare_ms=%.2f\n", median(bare));
    // The ratio of each round's two starts, one right after the other, then
    // the median of those: a slow stretch of the machine then slows both
    // sides of a ratio instead of only the medians' one.
    std::printf("startup_ratio=%.3f\n", median(ratios));
    return 0;
}

int closeChild(int argc, char** argv, int count) {
    requireLab("kavren_window_bench");  // Refresh sends a broadcast
    ProbeApplication app(argc, argv);
    app::DeviceSession session(app::MainWindowServices{net::makePlatformAdapterQuery()});
    auto* window = new app::TMainF(session);
    ::MainF = window;
    window->show();
    runUntil([] { return false; }, 200);
    bool closing = false;
    QObject::connect(window->gridModel(), &QAbstractItemModel::rowsInserted, window, [&] {
        if (closing || listedRows(*window) < count / 4)
            return;
        closing = true;
        // Asked from a fresh event, as a click on Exit would be.
        QTimer::singleShot(0, window, [&] {
            std::printf("%lld %d\n", static_cast<long long>(monotonicNs()), listedRows(*window));
            std::fflush(stdout);
            window->BtnExit->click();
        });
    });
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);  // bounded
    window->BtnRefresh->click();
    app.exec();
    delete window;
    ::MainF = nullptr;
    return 0;
}

int closeSeries(int rounds, int count) {
    requireLab("kavren_window_bench");
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const ChildRun run = runChild({"close-child", std::to_string(count)});
        const std::int64_t closedAt = std::stoll(run.firstLine.empty() ? "0" : run.firstLine);
        times.push_back(closedAt > 0 ? static_cast<double>(run.endedNs - closedAt) / 1e6 : 1e9);
        // Let the rest of the burst pass before the next round.
        ::usleep(1'500'000);
    }
    std::printf("close_ms_max=%.1f\n", *std::max_element(times.begin(), times.end()));
    return 0;
}

// Replies of distinct devices, sent on this namespace's loopback to the
// window's port: only after requireLab().
class LoopbackFeeder final {
public:
    LoopbackFeeder() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(protocol::kHostPort);
        m_to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~LoopbackFeeder() { ::close(m_fd); }
    LoopbackFeeder(const LoopbackFeeder&) = delete;
    LoopbackFeeder& operator=(const LoopbackFeeder&) = delete;

    void send(int first, int count) {
        for (int i = first; i < first + count; ++i) {
            testsupport::DeviceTexts device;
            device.mac = {0x02,
                          0x4B,
                          0x56,
                          static_cast<std::uint8_t>(i >> 16),
                          static_cast<std::uint8_t>(i >> 8),
                          static_cast<std::uint8_t>(i)};
            device.name = "KAVREN-" + std::to_string(1000000 + i).substr(1);
            device.version = "1.0.0";
            device.ip = {198, 18, 0, static_cast<std::uint8_t>(128 + i % 127)};
            device.mask = {255, 255, 255, 0};
            device.gateway = {198, 18, 0, 0};
            const auto bytes = testsupport::infoReply(device);
            ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&m_to),
                     sizeof m_to);
        }
    }

private:
    int m_fd;
    sockaddr_in m_to{};
};

// Sends `count` replies in chunks the socket buffer holds and lets the
// receive thread queue them all before the window runs its loop again.
void feed(app::TMainF& window, LoopbackFeeder& feeder, int first, int count) {
    constexpr int kChunk = 10000;
    for (int sent = 0; sent < count; sent += kChunk) {
        const int n = std::min(kChunk, count - sent);
        const auto before = window.IdUDPServer.statistics().received;
        feeder.send(first + sent, n);
        for (int i = 0; i < 20000 && window.IdUDPServer.statistics().received < before + n; ++i)
            ::usleep(1000);
    }
}

__attribute__((noinline)) bool measuredDelivery(app::TMainF& window, int rows) {
    CALLGRIND_START_INSTRUMENTATION;
    const bool all =
        runUntil([&] { return listedRows(window) >= rows; }, 600000, window.gridModel());
    CALLGRIND_STOP_INSTRUMENTATION;
    return all;
}

int replyCost(ProbeApplication& app, int base, int measured) {
    requireLab("kavren_window_bench");
    (void)app;
    app::DeviceSession session(app::MainWindowServices{});
    app::TMainF window(session);
    ::MainF = &window;
    // Under callgrind a slice would hold as many replies as the simulated
    // run manages in 4 ms of real time, so the number of slices, and of
    // repaints between them, would follow the machine's load. A clock that
    // moves 1 ms a reading gives every run the same slices.
    window.replyPacer().setClock([now = std::chrono::steady_clock::time_point{}]() mutable {
        now += std::chrono::milliseconds(1);
        return now;
    });
    window.show();
    runUntil([] { return false; }, 100);
    LoopbackFeeder feeder;
    for (int done = 0; done < base; done += 20000) {
        const int n = std::min(20000, base - done);
        feed(window, feeder, done, n);
        runUntil([&] { return listedRows(window) >= done + n; }, 600000, window.gridModel());
    }
    feed(window, feeder, base, measured);
    const bool all = measuredDelivery(window, base + measured);
    std::printf("rows=%d all=%d\n", listedRows(window), all ? 1 : 0);
    ::MainF = nullptr;
    return all ? 0 : 1;
}

}  // namespace
}  // namespace kavren::bench

int main(int argc, char** argv) {
    using namespace kavren::bench;
    const std::string mode = argc > 1 ? argv[1] : "";
    const auto arg = [&](int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; };
    if (mode == "startup-child")
        return startupChild(argc, argv, argc > 2 && std::string(argv[2]) == "real");
    if (mode == "close-child")
        return closeChild(argc, argv, arg(2, 50000));
    if (mode == "startup-series")
        return startupSeries(arg(2, 5));
    if (mode == "close-series")
        return closeSeries(arg(2, 3), arg(3, 50000));
    if (mode == "window" || mode == "replycost") {
        ProbeApplication app(argc, argv);
        if (mode == "window")
            return windowMode(app, arg(2, 10000));
        return replyCost(app, arg(2, 1000), arg(3, 2000));
    }
    std::fprintf(stderr,
                 "usage: %s window COUNT | startup-series ROUNDS | close-series ROUNDS COUNT |"
                 " replycost BASE MEASURED\n",
                 argv[0]);
    return 2;
}

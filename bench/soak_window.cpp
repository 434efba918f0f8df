// SPDX-License-Identifier: GPL-3.0-or-later
// The window over time: the real main window (offscreen) against the
// emulated devices in the lab, Refresh once a second, a configuration
// update through the real dialogs every ten seconds, while tools/flood.py
// trickles hostile datagrams at the receiving port (started beside it by
// tools/soak.sh). Every few seconds the process's resident memory, open
// descriptors and threads are sampled; at the end a verdict is printed.
//
//   kavren_soak_window --seconds S [--devices N] [--warmup S] [--sample S]
//
// Pass: every Refresh listed exactly the N devices, every update was
// acknowledged ("Setting OK" from that device) and the next Refresh showed
// its new description, no unexpected window appeared, and after the
// warm-up the resident memory grew by less than 1 MiB while descriptors
// and threads stayed the same.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/cfgdlg.h"
#include "app/devicetablemodel.h"
#include "app/mainfrom.h"
#include "app/pwddlg.h"
#include "bench/benchclock.h"
#include "lab/emulatorprocess.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"
#include "support/windowsupport.h"

namespace kavren::bench {
namespace {

using app::DeviceGrid;
using app::TMainF;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kAllowedGrowthBytes = 1 << 20;
constexpr const char* kPassword = "admin";  // the generated devices' password
constexpr int kUpdateEveryTicks = 10;
constexpr int kGraceTicks = 3;

struct Options {
    int seconds = 60;
    int devices = 1000;
    int warmupSeconds = 20;
    int sampleSeconds = 5;
};

struct Sample {
    double at = 0;  // seconds since the start
    std::int64_t rss = 0;
    int fds = 0;
    int threads = 0;
};

int entriesIn(const char* folder) {
    std::error_code error;
    int n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++n;
    return n;
}

Sample takeSample(Clock::time_point started) {
    Sample s;
    s.at = std::chrono::duration<double>(Clock::now() - started).count();
    s.rss = residentBytes();
    // The listing of /proc/self/fd holds the descriptor used to read it.
    s.fds = entriesIn("/proc/self/fd") - 1;
    s.threads = entriesIn("/proc/self/task");
    return s;
}

void printSample(const char* label, const Sample& s) {
    std::printf("sample %-8s t=%7.1fs rss_kib=%lld fds=%d threads=%d\n", label, s.at,
                static_cast<long long>(s.rss / 1024), s.fds, s.threads);
    std::fflush(stdout);
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (key == "--seconds")
            o.seconds = value;
        else if (key == "--devices")
            o.devices = value;
        else if (key == "--warmup")
            o.warmupSeconds = value;
        else if (key == "--sample")
            o.sampleSeconds = value;
        else
            return std::nullopt;
    }
    if (argc % 2 == 0 || o.seconds < 10 || o.seconds > 3600 || o.devices < 1 || o.devices > 60000 ||
        o.warmupSeconds < 0 || o.warmupSeconds >= o.seconds || o.sampleSeconds < 1)
        return std::nullopt;
    return o;
}

// One run: the window, the timers and what they saw.
class WindowSoak final {
public:
    explicit WindowSoak(const Options& options) : m_options(options) {}

    int run() {
        const int lifetime = m_options.seconds + 60;
        lab::EmulatorProcess emulator({"--generate", std::to_string(m_options.devices),
                                       "--lifetime", std::to_string(lifetime)});
        std::string error;
        if (!emulator.start(&error)) {
            std::fprintf(stderr, "soak: emulator: %s\n", error.c_str());
            return 1;
        }
        std::unique_ptr<app::TMainF> window = testsupport::openProgramWindows();
        window->show();
        m_window = window.get();
        if (!window->IdUDPServer.active()) {
            std::fprintf(stderr, "soak: receiving endpoint not open\n");
            return 1;
        }
        // The password dialog is answered as a person would: the password
        // typed into its box, then OK. Anything else is unexpected.
        testsupport::ModalWatcher watcher([this](QWidget* w, int) {
            if (auto* pwd = qobject_cast<app::TPwdDlg*>(w)) {
                pwd->Password->setText(QString::fromLatin1(kPassword));
                pwd->OKBtn->click();
                return true;
            }
            ++m_unexpectedWindows;
            return testsupport::ModalWatcher::pressOk(w);
        });
        watchResults(*window);

        m_started = Clock::now();
        QTimer tick;
        tick.setInterval(1000);
        QObject::connect(&tick, &QTimer::timeout, window.get(), [this] { onTick(); });
        QTimer sampler;
        sampler.setInterval(m_options.sampleSeconds * 1000);
        QObject::connect(&sampler, &QTimer::timeout, window.get(),
                         [this] { m_samples.push_back(takeSample(m_started)); });
        m_samples.push_back(takeSample(m_started));
        printSample("start", m_samples.back());
        window->BtnRefresh->click();
        m_refreshes = 1;
        tick.start();
        sampler.start();
        QTimer::singleShot(m_options.seconds * 1000, window.get(), [] { QApplication::quit(); });
        QApplication::exec();
        tick.stop();
        sampler.stop();
        m_samples.push_back(takeSample(m_started));
        if (m_pendingMac) {
            // The last update's answer and the Refresh after it are given
            // the time a tick would have given them.
            QEventLoop settle;
            QTimer::singleShot(1500, &settle, &QEventLoop::quit);
            settle.exec();
            m_checkAtTick = m_ticks;
            checkUpdate();
        }

        const int verdict = report();
        testsupport::closeProgramWindows(window);
        return verdict;
    }

private:
    void watchResults(app::TMainF& window) {
        // Result messages are seen on their way to the window's own
        // handler: the status bar alone would be overwritten by the flood
        // before it could be read.
        auto handler = window.IdUDPServer.OnUDPRead;
        window.IdUDPServer.OnUDPRead = [this, handler](net::TIdUDPServer& server,
                                                       std::span<const std::uint8_t> data,
                                                       net::TIdSocketHandle& binding) {
            const protocol::Reply reply = protocol::recognise(data);
            if (const auto* result = std::get_if<protocol::ResultMessageReply>(&reply)) {
                if (m_pendingMac && protocol::formatMac(result->mac) == *m_pendingMac &&
                    result->text.starts_with("Setting OK"))
                    m_acknowledged = true;
            }
            handler(server, data, binding);
        };
    }

    void onTick() {
        if (m_busy)
            return;  // a dialog of the previous tick is still open
        // A machine busy with other work may take longer than a second to
        // hand over a burst: a short list gets a few more seconds before it
        // counts as wrong, and the next Refresh waits for it.
        const int rows = m_window->grid().deviceRowCount();
        if (rows < m_options.devices && m_graceTicks < kGraceTicks) {
            ++m_graceTicks;
            ++m_lateTicks;
            return;
        }
        m_graceTicks = 0;
        m_busy = true;
        checkRefresh();
        checkUpdate();
        // No update in the last seconds: the end of the run would close
        // its dialog before its answer and the Refresh after it came.
        const bool nearTheEnd =
            std::chrono::duration<double>(Clock::now() - m_started).count() > m_options.seconds - 5;
        if (m_ticks % kUpdateEveryTicks == kUpdateEveryTicks - 1 && !nearTheEnd)
            startUpdate();
        ++m_ticks;
        m_window->BtnRefresh->click();
        ++m_refreshes;
        m_busy = false;
    }

    // A second after Refresh the list must hold exactly the emulated
    // devices; the flood brings no device information reply at all.
    void checkRefresh() {
        const int rows = m_window->grid().deviceRowCount();
        if (rows != m_options.devices) {
            ++m_badRefreshes;
            std::printf("refresh %d listed %d devices, not %d\n", m_refreshes, rows,
                        m_options.devices);
        }
    }

    // The update of the previous tick: acknowledged by its device, and its
    // new description reported by the Refresh that followed it.
    void checkUpdate() {
        if (!m_pendingMac || m_ticks < m_checkAtTick)
            return;
        const auto row = m_window->deviceList().findByMac(*m_pendingMac);
        const bool verified =
            row && m_window->grid().cell(DeviceGrid::ColDescription, *row) == m_pendingText;
        if (m_acknowledged && verified) {
            ++m_updatesVerified;
        } else {
            std::printf("update %d of %s: %s%s\n", m_updates, m_pendingMac->c_str(),
                        m_acknowledged ? "" : "no \"Setting OK\"; ",
                        verified ? "" : "new description not reported");
        }
        m_pendingMac.reset();
    }

    // Through the window as a person does it: select the device's
    // Description cell, type, press Update Device, answer the dialog.
    void startUpdate() {
        DeviceGrid& grid = m_window->grid();
        if (grid.deviceRowCount() == 0)
            return;
        const int row = 1 + m_updates % grid.deviceRowCount();
        const std::string mac = grid.cell(DeviceGrid::ColMac, row);
        const std::string text = "soak update " + std::to_string(m_updates + 1);
        m_window->DevListSelectCell(DeviceGrid::ColDescription, row);
        m_window->DevListSetEditText(DeviceGrid::ColDescription, row, QString::fromStdString(text));
        m_pendingMac = mac;
        m_pendingText = text;
        m_acknowledged = false;
        m_checkAtTick = m_ticks + 1;
        ++m_updates;
        if (!m_window->BtnUpdSel->isEnabled())
            std::printf("update %d: Update Device not enabled by the selection\n", m_updates);
        m_window->BtnUpdSel->click();
    }

    int report() {
        const Sample& start = m_samples.front();
        const Sample& end = m_samples.back();
        auto warm = std::find_if(m_samples.begin(), m_samples.end(),
                                 [&](const Sample& s) { return s.at >= m_options.warmupSeconds; });
        if (warm == m_samples.end())
            warm = std::prev(m_samples.end());
        printSample("warm", *warm);
        printSample("end", end);
        std::int64_t peak = 0;
        bool fdsSteady = true;
        bool threadsSteady = true;
        for (auto it = warm; it != m_samples.end(); ++it) {
            peak = std::max(peak, it->rss);
            fdsSteady = fdsSteady && it->fds == warm->fds;
            threadsSteady = threadsSteady && it->threads == warm->threads;
            std::printf("sample t=%.1f rss_kib=%lld fds=%d threads=%d\n", it->at,
                        static_cast<long long>(it->rss / 1024), it->fds, it->threads);
        }
        const std::int64_t growth = end.rss - warm->rss;
        const bool memoryFlat = growth < kAllowedGrowthBytes;
        const bool updatesOk = m_updatesVerified == m_updates && m_updates > 0;
        std::printf(
            "window soak: %.0f s, %d refreshes (%d wrong, %d seconds waited for a late list), "
            "%d updates (%d verified), %d unexpected windows\n",
            end.at, m_refreshes, m_badRefreshes, m_lateTicks, m_updates, m_updatesVerified,
            m_unexpectedWindows);
        std::printf(
            "window soak: rss start %lld KiB, after warm-up %lld KiB, end %lld KiB, peak %lld "
            "KiB, growth %+lld KiB (limit < 1024); fds %d -> %d; threads %d -> %d\n",
            static_cast<long long>(start.rss / 1024), static_cast<long long>(warm->rss / 1024),
            static_cast<long long>(end.rss / 1024), static_cast<long long>(peak / 1024),
            static_cast<long long>(growth / 1024), warm->fds, end.fds, warm->threads, end.threads);
        const bool pass = m_badRefreshes == 0 && updatesOk && m_unexpectedWindows == 0 &&
                          memoryFlat && fdsSteady && threadsSteady;
        std::printf("window soak: %s\n", pass ? "PASS" : "FAIL");
        return pass ? 0 : 1;
    }

    Options m_options;
    app::TMainF* m_window = nullptr;
    Clock::time_point m_started;
    std::vector<Sample> m_samples;
    bool m_busy = false;
    int m_ticks = 0;
    int m_refreshes = 0;
    int m_badRefreshes = 0;
    int m_updates = 0;
    int m_updatesVerified = 0;
    int m_unexpectedWindows = 0;
    int m_graceTicks = 0;
    int m_lateTicks = 0;
    std::optional<std::string> m_pendingMac;
    std::string m_pendingText;
    bool m_acknowledged = false;
    int m_checkAtTick = 0;
};

}  // namespace
}  // namespace kavren::bench

// The offscreen platform says for every dialog shown that it cannot pass
// size hints on; over a long run that would bury the samples.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints")))
        return;
    qt_message_output(type, context, text);
}

int main(int argc, char** argv) {
    using namespace kavren::bench;
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s --seconds S [--devices N] [--warmup S] [--sample S]\n"
                     "  (10 <= S <= 3600; inside the lab, see tools/soak.sh)\n",
                     argv[0]);
        return 2;
    }
    requireLab("kavren_soak_window");
    qInstallMessageHandler(quietOffscreenNotes);
    QApplication app(argc, argv);
    return WindowSoak(*options).run();
}

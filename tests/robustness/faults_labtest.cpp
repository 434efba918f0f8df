// SPDX-License-Identifier: GPL-3.0-or-later
// Network faults met by the real main window inside the lab: the reply port
// held by another program, the source address taken away and given back, a
// destination without a route, the adapter going down during a burst, and
// closing while datagrams wait. Each fault must reach the user as the
// endpoint's own message in the general error display, and the window must
// work again afterwards. Every case starts with KAVREN_REQUIRE_LAB().
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/cfgdlg.h"
#include "app/mainfrom.h"
#include "app/pwddlg.h"
#include "net/socketerrors.h"
#include "tests/lab/emulatorprocess.h"
#include "tests/lab/labguard.h"
#include "tests/lab/labsend.h"
#include "tests/robustness/labtools.h"
#include "tests/support/windowlabfixture.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using namespace std::chrono_literals;
using app::TMainF;
using testsupport::ModalWatcher;
using testsupport::widget;

constexpr const char* kHostAddress = "198.18.0.1/24";
constexpr const char* kHostLink = "kva0";

// The message the general error display shows for a socket error.
QString socketErrorShown(int number) {
    return QString::fromLatin1(net::socketErrorMessage(number).c_str());
}

class NetworkFaultTest : public testsupport::WindowLabTest {
protected:
    void openWindow() {
        window = testsupport::openProgramWindows();
        window->show();
    }

    bool waitForRows(int rows, int ms = 10000) {
        return QTest::qWaitFor([&] { return window->grid().deviceRowCount() >= rows; }, ms);
    }
};

TEST_F(NetworkFaultTest, ASecondCopyShowsTheBindErrorAndStillSendsItsRequests) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(startEmulator({"--generate", "3"}));
    // The first copy's receiving socket, as another program would hold it.
    lab::PortHolder holder;
    ASSERT_TRUE(holder.holding());
    {
        ModalWatcher watcher;
        openWindow();
        ASSERT_EQ(watcher.seen().size(), 1u);
        EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
        EXPECT_EQ(watcher.seen()[0].text,
                  QStringLiteral("Could not bind socket. Address and port are already in use."));
        EXPECT_TRUE(watcher.seen()[0].errorIcon);
    }
    EXPECT_FALSE(window->IdUDPServer.active());

    // Sending works as usual; the replies go to the holder, none to us.
    ModalWatcher watcher;
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_EQ(emulator->waitForReceived(1, 3s).size(), 1u);
    QTest::qWait(500);
    EXPECT_EQ(window->grid().deviceRowCount(), 0);
    EXPECT_TRUE(watcher.seen().empty());
    holder.release();
}

TEST_F(NetworkFaultTest, TheSourceAddressTakenAwayFailsTheBindAndGivenBackWorksAgain) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(startEmulator({"--generate", "3"}));
    openWindow();
    ASSERT_EQ(window->adapters().sourceAddress(), "198.18.0.1");
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));

    ASSERT_TRUE(ipCommand({"addr", "del", kHostAddress, "dev", kHostLink}));
    {
        ModalWatcher watcher;
        widget<QPushButton>(*window, "BtnRefresh")->click();
        ASSERT_EQ(watcher.seen().size(), 1u);
        std::printf("source address removed, Refresh shows: \"%s\"\n",
                    watcher.seen()[0].text.toLatin1().replace("\r\n", "\\r\\n").constData());
        EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
        EXPECT_EQ(watcher.seen()[0].text,
                  QStringLiteral("Socket Error # 10049\r\nCannot assign requested address."));
        EXPECT_EQ(watcher.seen()[0].text, socketErrorShown(10049));
        EXPECT_EQ(watcher.seen()[0].title, QApplication::applicationDisplayName());
        EXPECT_TRUE(watcher.seen()[0].errorIcon);
    }
    // Refresh emptied the list before its send failed; nothing was sent.
    EXPECT_EQ(window->grid().deviceRowCount(), 0);
    EXPECT_EQ(emulator->waitForReceived(2, 300ms).size(), 1u);

    ASSERT_TRUE(ipCommand({"addr", "add", kHostAddress, "dev", kHostLink}));
    ModalWatcher watcher;
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_TRUE(waitForRows(3));
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_EQ(emulator->waitForReceived(2, 3s).size(), 2u);
}

TEST_F(NetworkFaultTest, AnUpdateToADestinationWithoutARouteShowsNetworkUnreachable) {
    KAVREN_REQUIRE_LAB();
    LabDevice far;
    far.mac = "02-C4-7E-00-01-01";
    far.ip = "203.0.113.5";  // no route to it anywhere in the lab
    far.name = "Far away";
    deviceFile = writeDeviceFile({far});
    ASSERT_FALSE(deviceFile.empty());
    ASSERT_TRUE(startEmulator({"--devices", deviceFile}));
    openWindow();
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(1));
    ASSERT_EQ(window->grid().cell(DeviceGrid::ColDeviceIp, 1), "203.0.113.5");

    const QString secret = QStringLiteral("Tr0ub4dor&3");
    ModalWatcher watcher([&](QWidget* w, int) {
        if (auto* pwd = qobject_cast<app::TPwdDlg*>(w)) {
            widget<QLineEdit>(*pwd, "Password")->setText(secret);
            widget<QPushButton>(*pwd, "OKBtn")->click();
            return true;
        }
        return ModalWatcher::pressOk(w);
    });
    widget<QPushButton>(*window, "BtnUpdAll")->click();
    ASSERT_EQ(watcher.seen().size(), 2u);
    EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("PwdDlg"));
    std::printf("no route, Update All shows: \"%s\"\n",
                watcher.seen()[1].text.toLatin1().replace("\r\n", "\\r\\n").constData());
    EXPECT_EQ(watcher.seen()[1].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[1].text,
              QStringLiteral("Socket Error # 10051\r\nNetwork is unreachable."));
    EXPECT_EQ(watcher.seen()[1].text, socketErrorShown(10051));
    EXPECT_TRUE(watcher.seen()[1].errorIcon);
    // The secret is in none of the texts shown, and not left in the box.
    for (const testsupport::SeenModal& seen : watcher.seen()) {
        EXPECT_FALSE(seen.text.contains(secret));
        EXPECT_FALSE(seen.title.contains(secret));
    }
    EXPECT_FALSE(widget<QLabel>(*window, "StatusPanel0")->text().contains(secret));
    EXPECT_FALSE(widget<QLabel>(*window, "StatusPanel1")->text().contains(secret));
    EXPECT_TRUE(widget<QLineEdit>(*PwdDlg, "Password")->text().isEmpty());
    // Nothing reached the device; the window goes on working.
    for (const lab::LoggedDatagram& d : emulator->received())
        EXPECT_EQ(d.kind, "discovery");
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_TRUE(waitForRows(1));
    EXPECT_EQ(emulator->waitForReceived(2, 3s).size(), 2u);
}

TEST_F(NetworkFaultTest, TheAdapterGoingDownDuringABurstBreaksNothing) {
    KAVREN_REQUIRE_LAB();
    constexpr int kDevices = 3000;
    // The replies spread over two seconds, so the link goes down among them.
    ASSERT_TRUE(startEmulator(
        {"--generate", std::to_string(kDevices), "--jitter-ms", "2000", "--lifetime", "60"}));
    openWindow();
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(1));
    QTest::qWait(300);
    ASSERT_TRUE(ipCommand({"link", "set", kHostLink, "down"}));
    const int rowsAtDown = window->grid().deviceRowCount();
    QTest::qWait(500);
    {
        // A Refresh while the link is down fails at its send.
        ModalWatcher watcher;
        widget<QPushButton>(*window, "BtnRefresh")->click();
        ASSERT_EQ(watcher.seen().size(), 1u);
        const QString shown = watcher.seen()[0].text;
        std::printf("link down after %d of %d replies; Refresh shows: \"%s\"\n", rowsAtDown,
                    kDevices, shown.toLatin1().replace("\r\n", "\\r\\n").constData());
        EXPECT_EQ(watcher.seen()[0].kind, QStringLiteral("ErrorDisplay"));
        // With the link down its routes are gone: the broadcast, steered to
        // that link, has no way out.
        EXPECT_EQ(shown, QStringLiteral("Socket Error # 10051\r\nNetwork is unreachable."));
    }
    EXPECT_LT(rowsAtDown, kDevices);
    EXPECT_TRUE(window->IdUDPServer.active());

    ASSERT_TRUE(ipCommand({"link", "set", kHostLink, "up"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            std::string out;
            return ipCommand({"-o", "link", "show", kHostLink}, &out) &&
                   out.find("state UP") != std::string::npos;
        },
        5000));
    QTest::qWait(2500);  // the rest of the first burst has gone by
    ModalWatcher watcher;
    widget<QPushButton>(*window, "BtnRefresh")->click();
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_TRUE(waitForRows(kDevices, 20000)) << window->grid().deviceRowCount();
    EXPECT_EQ(window->grid().deviceRowCount(), kDevices);
}

TEST_F(NetworkFaultTest, ClosingWhileDatagramsWaitHandlesNoneOfThemAndEndsWithinAWaitPeriod) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(startEmulator({"--generate", "20000", "--burst"}));
    openWindow();
    bool closing = false;
    int handledAfterClose = 0;
    int handledBefore = 0;
    auto handler = window->IdUDPServer.OnUDPRead;
    window->IdUDPServer.OnUDPRead = [&, handler](net::TIdUDPServer& server,
                                                 std::span<const std::uint8_t> data,
                                                 net::TIdSocketHandle& binding) {
        ++(closing ? handledAfterClose : handledBefore);
        handler(server, data, binding);
    };
    widget<QPushButton>(*window, "BtnRefresh")->click();
    // The user-interface thread is busy while the burst arrives: the
    // replies wait in the delivery queue.
    std::this_thread::sleep_for(1500ms);
    const std::size_t waiting = window->IdUDPServer.pendingCount();
    ASSERT_GT(waiting, 0u);

    QElapsedTimer clock;
    clock.start();
    closing = true;
    window->close();
    testsupport::closeProgramWindows(window);
    const qint64 closedAfter = clock.elapsed();
    QTest::qWait(300);  // anything still posted would run now
    std::printf("closed with %zu datagrams waiting (%d handled before) in %lld ms\n", waiting,
                handledBefore, static_cast<long long>(closedAfter));
    EXPECT_EQ(handledAfterClose, 0);
    EXPECT_LT(closedAfter, net::TIdUDPListenerThread::kReceiveWaitMs + 200);
}

}  // namespace
}  // namespace kavren::app

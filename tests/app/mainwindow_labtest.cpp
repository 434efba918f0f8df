// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window against the device emulator, inside the lab: the
// real adapter query, the real send sequence and the receiving endpoint on
// port 62631. Every case starts with KAVREN_REQUIRE_LAB(), before anything
// is opened or sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/devicetablemodel.h"
#include "app/mainfrom.h"
#include "tests/lab/emulatorprocess.h"
#include "tests/lab/labguard.h"
#include "tests/lab/labsend.h"
#include "tests/support/windowlabfixture.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using testsupport::DeviceTexts;
using testsupport::widget;
using namespace std::chrono_literals;

// Devices with the texts worth checking: a MAC with 0x0A in it, the two
// example addresses, an empty name, markup, bytes beyond ASCII.
constexpr const char* kDevices = R"({"devices": [
  {"mac": "02:C4:7E:0A:1B:FF", "ip": "192.168.0.100", "netmask": "255.255.255.0",
   "gateway": "192.168.0.1", "name": "Gate-North", "version": "2.14",
   "description": "Loading bay"},
  {"mac": "00:1A:2B:3C:4D:5E", "ip": "10.0.0.1", "netmask": "255.0.0.0",
   "gateway": "10.0.0.254", "name": "", "version": "1.0", "description": ""},
  {"mac": "00:1A:2B:3C:4D:60", "ip": "198.18.0.130", "name": "<b>x</b>",
   "version": "3.0.1", "description": "<img src=x>"}
]})";

// Sends one datagram to the window's receiving port on this namespace's
// loopback; the lab support refuses outside the lab.
void sendToWindow(const std::vector<std::uint8_t>& datagram) {
    ASSERT_TRUE(lab::sendToLoopback(datagram));
}

class MainWindowLabTest : public testsupport::WindowLabTest {
protected:
    bool start(std::vector<std::string> emulatorOptions, const char* devices = kDevices) {
        return startWindow(devices, std::move(emulatorOptions));
    }
};

TEST_F(MainWindowLabTest, RefreshListsEveryDeviceOnceWithItsTexts) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({"--repeat", "3"}));  // every reply three times
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));
    QTest::qWait(300);  // let the repeats arrive: they must change nothing
    EXPECT_EQ(window->grid().deviceRowCount(), 3);

    const auto a = rowOf("02-C4-7E-0A-1B-FF");
    ASSERT_TRUE(a);
    EXPECT_EQ(cell(0, *a), QString::number(*a));
    EXPECT_EQ(cell(2, *a), QStringLiteral("Gate-North"));
    EXPECT_EQ(cell(3, *a), QStringLiteral("2.14"));
    EXPECT_EQ(cell(4, *a), QStringLiteral("192.168.0.100"));
    EXPECT_EQ(cell(6, *a), QStringLiteral("192.168.0.100"));
    EXPECT_EQ(cell(7, *a), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(cell(8, *a), QStringLiteral("192.168.0.1"));
    EXPECT_EQ(cell(9, *a), QStringLiteral("Loading bay"));
    const auto b = rowOf("00-1A-2B-3C-4D-5E");
    ASSERT_TRUE(b);
    EXPECT_EQ(cell(4, *b), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(cell(6, *b), QStringLiteral("10.0.0.1"));
    const auto c = rowOf("00-1A-2B-3C-4D-60");
    ASSERT_TRUE(c);
    EXPECT_EQ(cell(2, *c), QStringLiteral("<b>x</b>"));
    EXPECT_EQ(cell(9, *c), QStringLiteral("<img src=x>"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(),
              QStringLiteral("Get Device Information done."));

    // The emulator heard exactly one discovery request, byte for byte.
    const auto received = emulator->waitForReceived(1, 2s);
    ASSERT_EQ(received.size(), 1u);
    const std::string expected = std::string("KAVRENut\x00\x16", 10) + std::string(6, '\xFF');
    EXPECT_EQ(received[0].bytes, expected) << lab::toHex(received[0].bytes);
    EXPECT_EQ(received[0].kind, "discovery");
    EXPECT_EQ(received[0].destinationPort, 62630);
    EXPECT_EQ(received[0].source, window->adapters().sourceAddress());
}

TEST_F(MainWindowLabTest, AnEmptyNameShowsTwoBlanksInTheStatusLine) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({}));
    DeviceTexts device;
    device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    device.ip = {10, 0, 0, 1};
    sendToWindow(testsupport::infoReply(device));  // before any Refresh: added as row 1
    ASSERT_TRUE(waitForRows(1));
    EXPECT_EQ(cell(1, 1), QStringLiteral("00-1A-2B-3C-4D-5E"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device :  (00-1A-2B-3C-4D-5E)"));
}

TEST_F(MainWindowLabTest, MalformedDatagramsAreIgnored) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({"--malformed"}));
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));
    QTest::qWait(300);
    // The emulator's "ignore" set adds nothing; of its "either" set only
    // cut-short device replies may be read (their MACs start 02-BA-D0; one
    // cut off after the kind byte reads as MAC 00-00-00-00-00-00).
    for (int row = 1; row < window->grid().rowCount() - 1; ++row) {
        const QString mac = cell(1, row);
        const bool ours = mac == QStringLiteral("02-C4-7E-0A-1B-FF") ||
                          mac == QStringLiteral("00-1A-2B-3C-4D-5E") ||
                          mac == QStringLiteral("00-1A-2B-3C-4D-60");
        const bool acceptedShort = mac == QStringLiteral("02-BA-D0-00-00-06") ||
                                   mac == QStringLiteral("02-BA-D0-00-00-07") ||
                                   mac == QStringLiteral("02-BA-D0-00-00-09") ||
                                   mac == QStringLiteral("00-00-00-00-00-00");
        EXPECT_TRUE(ours || acceptedShort) << mac.toStdString();
    }
    EXPECT_FALSE(rowOf("02-BA-D0-00-00-01"));
    EXPECT_FALSE(rowOf("02-BA-D0-00-00-05"));
}

TEST_F(MainWindowLabTest, LateRepliesAfterANewRefreshAreAddedAgain) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({}));
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));
    widget<QPushButton>(*window, "BtnRefresh")->click();
    // A reply of the first cycle that comes late is simply a new row.
    DeviceTexts late;
    late.mac = {0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0x01};
    late.name = "Late";
    sendToWindow(testsupport::infoReply(late));
    ASSERT_TRUE(waitForRows(4));
    QTest::qWait(200);
    EXPECT_EQ(window->grid().deviceRowCount(), 4);
    EXPECT_TRUE(rowOf("02-C4-7E-0A-1B-01"));
    EXPECT_EQ(emulator->waitForReceived(2, 2s).size(), 2u);
}

TEST_F(MainWindowLabTest, ResultMessagesFromListedAndUnlistedDevices) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({}));
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));
    sendToWindow(testsupport::resultReply({0x02, 0xC4, 0x7E, 0x0A, 0x1B, 0xFF}, "Setting OK"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return widget<QLabel>(*window, "StatusPanel1")->text() == QStringLiteral("Setting OK");
        },
        3000));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device : Gate-North (02-C4-7E-0A-1B-FF)"));
    sendToWindow(testsupport::resultReply({0x0E, 0x00, 0x00, 0x00, 0x00, 0x01}, "Stranger"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return widget<QLabel>(*window, "StatusPanel1")->text() == QStringLiteral("Stranger");
        },
        3000));
    // No row supplies a name: panel 0 names the device by its MAC alone.
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QStringLiteral("Device :  (0E-00-00-00-00-01)"));
    EXPECT_EQ(window->grid().deviceRowCount(), 3);
}

TEST_F(MainWindowLabTest, ASecondCopyCannotHaveThePortButItsWindowIsComplete) {
    KAVREN_REQUIRE_LAB();
    // The first copy's receiving socket, as another program would hold it.
    lab::PortHolder holder;
    ASSERT_TRUE(holder.holding());
    testsupport::ModalWatcher watcher;
    window = testsupport::openProgramWindows();
    holder.release();
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].text,
              QStringLiteral("Could not bind socket. Address and port are already in use."));
    EXPECT_EQ(watcher.seen()[0].title, QApplication::applicationDisplayName());
    EXPECT_FALSE(window->IdUDPServer.active());
    EXPECT_EQ(window->gridModel()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("DeviceIP"));
    EXPECT_FALSE(widget<QPushButton>(*window, "BtnUpdAll")->isEnabled());
}

// A burst of 50,000 replies: every device is listed, and the event loop never
// stalls for long, because replies are handled in slices between events.
TEST_F(MainWindowLabTest, FiftyThousandRepliesKeepTheWindowResponsive) {
    KAVREN_REQUIRE_LAB();
    constexpr int kBurst = 50000;
    emulator = std::make_unique<lab::EmulatorProcess>(
        std::vector<std::string>{"--generate", std::to_string(kBurst), "--burst"});
    std::string error;
    ASSERT_TRUE(emulator->start(&error)) << error;
    window = testsupport::openProgramWindows();
    window->show();
    ASSERT_TRUE(window->IdUDPServer.active());

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    widget<QPushButton>(*window, "BtnRefresh")->click();
    const bool all =
        QTest::qWaitFor([&] { return window->grid().deviceRowCount() >= kBurst; }, 40000);
    const qint64 listed = clock.elapsed();
    ticker.stop();
    std::printf("50,000 replies: %d rows after %lld ms, longest event-loop gap %lld ms\n",
                window->grid().deviceRowCount(), static_cast<long long>(listed),
                static_cast<long long>(longestGap));
    EXPECT_TRUE(all) << window->grid().deviceRowCount() << " rows";
    EXPECT_EQ(window->gridModel()->rowCount(), window->grid().rowCount() - 1);
    EXPECT_LT(longestGap, 1000);
}

// Two devices that left the factory with one address, beside one that did
// not: both of the first are marked, and each names the other.
TEST_F(MainWindowLabTest, TwoDevicesWithOneAddressAreMarked) {
    KAVREN_REQUIRE_LAB();
    ASSERT_TRUE(start({}, R"({"devices": [
      {"mac": "02:4B:56:00:00:01", "ip": "198.18.0.200", "name": "first"},
      {"mac": "02:4B:56:00:00:02", "ip": "198.18.0.200", "name": "second"},
      {"mac": "02:4B:56:00:00:03", "ip": "198.18.0.201", "name": "third"}
    ]})"));
    widget<QPushButton>(*window, "BtnRefresh")->click();
    ASSERT_TRUE(waitForRows(3));
    const auto first = rowOf("02-4B-56-00-00-01");
    const auto second = rowOf("02-4B-56-00-00-02");
    const auto third = rowOf("02-4B-56-00-00-03");
    ASSERT_TRUE(first && second && third);
    const auto mark = [this](int row) {
        return window->gridModel()
            ->indexOf(DeviceGrid::ColDeviceIp, row)
            .data(DeviceTableModel::AddressMarkRole)
            .toInt();
    };
    const auto tip = [this](int row) {
        return window->gridModel()
            ->indexOf(DeviceGrid::ColDeviceIp, row)
            .data(Qt::ToolTipRole)
            .toString();
    };
    EXPECT_TRUE(mark(*first) & DeviceTableModel::SharedAddress);
    EXPECT_TRUE(mark(*second) & DeviceTableModel::SharedAddress);
    EXPECT_FALSE(mark(*third) & DeviceTableModel::SharedAddress);
    EXPECT_EQ(tip(*first),
              QStringLiteral("also reported by row %1 (02-4B-56-00-00-02)").arg(*second));
    EXPECT_EQ(tip(*second),
              QStringLiteral("also reported by row %1 (02-4B-56-00-00-01)").arg(*first));
}

}  // namespace
}  // namespace kavren::app

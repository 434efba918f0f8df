// SPDX-License-Identifier: GPL-3.0-or-later
// The real window handling a burst of replies from its own receiving port,
// inside the lab: every reply goes through the handler in arrival order,
// while the view hears of the new rows in a few insertions and the status
// bar ends with the texts that handling one reply at a time leaves.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QLabel>
#include <QTest>
#include <string>
#include <vector>

#include "app/devicetablemodel.h"
#include "app/mainfrom.h"
#include "protocol/textcodecs.h"
#include "tests/lab/labguard.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using testsupport::widget;

constexpr int kDevices = 2000;

testsupport::DeviceTexts deviceNumber(int n, const std::string& name) {
    testsupport::DeviceTexts device;
    device.mac = {
        0x02, 0x4B, 0x56, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    device.name = name;
    device.version = "1.0.0";
    device.ip = {198, 18, 0, static_cast<std::uint8_t>(1 + n % 250)};
    device.mask = {255, 255, 255, 0};
    return device;
}

std::string macText(int n) {
    return protocol::formatMac(deviceNumber(n, "").mac);
}

class ReplySlicesLabTest : public ::testing::Test {
protected:
    void TearDown() override { testsupport::closeProgramWindows(window); }

    void open() {
        window = testsupport::openProgramWindows();
        window->show();
        ASSERT_TRUE(window->IdUDPServer.active());
        QObject::connect(window->gridModel(), &QAbstractItemModel::rowsInserted, window.get(),
                         [this] { ++insertions; });
    }

    // Sends the datagrams on this namespace's loopback to the window's port,
    // all before the window runs its event loop again: only ever called
    // after KAVREN_REQUIRE_LAB().
    static void send(const std::vector<std::vector<std::uint8_t>>& datagrams) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(net::TIdUDPServer::kDefaultPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (const auto& datagram : datagrams) {
            ASSERT_EQ(::sendto(fd, datagram.data(), datagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to),
                      static_cast<ssize_t>(datagram.size()));
        }
        ::close(fd);
    }

    bool waitUntilHandled(std::uint64_t datagrams) {
        return QTest::qWaitFor(
            [&] {
                return window->IdUDPServer.statistics().received >= datagrams &&
                       window->IdUDPServer.pendingCount() == 0;
            },
            10000);
    }

    std::unique_ptr<TMainF> window;
    int insertions = 0;
};

// Every device once, then each tenth device again under another name, and
// the burst ends with such a repeat: the repeats change nothing, not even
// the status line, which names the last device listed.
TEST_F(ReplySlicesLabTest, ABurstIsListedInArrivalOrderInAFewInsertions) {
    KAVREN_REQUIRE_LAB();
    ASSERT_NO_FATAL_FAILURE(open());
    std::vector<std::vector<std::uint8_t>> burst;
    for (int n = 0; n < kDevices; ++n) {
        burst.push_back(testsupport::infoReply(deviceNumber(n, "dev" + std::to_string(n))));
        if (n % 10 == 9)
            burst.push_back(testsupport::infoReply(deviceNumber(n - 5, "again")));
    }
    burst.push_back(testsupport::infoReply(deviceNumber(3, "again")));
    ASSERT_NO_FATAL_FAILURE(send(burst));
    ASSERT_TRUE(waitUntilHandled(burst.size())) << window->grid().deviceRowCount();

    ASSERT_EQ(window->grid().deviceRowCount(), kDevices);
    EXPECT_EQ(window->gridModel()->rowCount(), kDevices + 1);
    for (int n = 0; n < kDevices; ++n) {
        ASSERT_EQ(window->grid().cell(DeviceGrid::ColMac, n + 1), macText(n)) << n;
        ASSERT_EQ(window->grid().cell(DeviceGrid::ColName, n + 1), "dev" + std::to_string(n));
    }
    const std::string last =
        "Device : dev" + std::to_string(kDevices - 1) + " (" + macText(kDevices - 1) + ")";
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(), QString::fromLatin1(last));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(),
              QStringLiteral("Get Device Information done."));
    // Announced per slice of the burst, not per reply.
    EXPECT_GE(insertions, 1);
    EXPECT_LT(insertions, kDevices / 20);
}

// A result message in the middle and one at the end of a burst: the
// status line ends with the last one, naming the device it came from.
TEST_F(ReplySlicesLabTest, TheStatusLineEndsWithTheLastReplyOfTheBurst) {
    KAVREN_REQUIRE_LAB();
    ASSERT_NO_FATAL_FAILURE(open());
    std::vector<std::vector<std::uint8_t>> burst;
    for (int n = 0; n < 500; ++n)
        burst.push_back(testsupport::infoReply(deviceNumber(n, "dev" + std::to_string(n))));
    burst.push_back(testsupport::resultReply(deviceNumber(7, "").mac, "Setting OK"));
    for (int n = 500; n < 1000; ++n)
        burst.push_back(testsupport::infoReply(deviceNumber(n, "dev" + std::to_string(n))));
    burst.push_back(testsupport::resultReply(deviceNumber(42, "").mac, "Password Error"));
    ASSERT_NO_FATAL_FAILURE(send(burst));
    ASSERT_TRUE(waitUntilHandled(burst.size()));

    EXPECT_EQ(window->grid().deviceRowCount(), 1000);
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel0")->text(),
              QString::fromLatin1("Device : dev42 (" + macText(42) + ")"));
    EXPECT_EQ(widget<QLabel>(*window, "StatusPanel1")->text(), QStringLiteral("Password Error"));
}

// The receiving endpoint is closed by the handler of the 100th reply, in
// the middle of a slice: not one more reply is handled, and the view still
// hears of the rows listed before.
TEST_F(ReplySlicesLabTest, ClosingInTheMiddleOfASliceStopsAtOnce) {
    KAVREN_REQUIRE_LAB();
    ASSERT_NO_FATAL_FAILURE(open());
    int handled = 0;
    auto handler = window->IdUDPServer.OnUDPRead;
    window->IdUDPServer.OnUDPRead = [&](net::TIdUDPServer& server,
                                        std::span<const std::uint8_t> data,
                                        net::TIdSocketHandle& binding) {
        handler(server, data, binding);
        if (++handled == 100)
            server.setActive(false);
    };
    std::vector<std::vector<std::uint8_t>> burst;
    for (int n = 0; n < 3000; ++n)
        burst.push_back(testsupport::infoReply(deviceNumber(n, "d")));
    ASSERT_NO_FATAL_FAILURE(send(burst));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled >= 100; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(handled, 100);
    EXPECT_EQ(window->grid().deviceRowCount(), 100);
    EXPECT_EQ(window->gridModel()->rowCount(), 101);
    EXPECT_EQ(window->grid().cell(DeviceGrid::ColMac, 100), macText(99));
    EXPECT_EQ(window->IdUDPServer.pendingCount(), 0u);
}

}  // namespace
}  // namespace kavren::app

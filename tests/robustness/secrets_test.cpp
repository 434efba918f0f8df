// SPDX-License-Identifier: GPL-3.0-or-later
// The device's current password after an update, through the real window and
// dialogs offscreen: it is gone from the confirmation dialog on every way
// out, it is in no message, status text or log line, and the request bytes
// that carried it are overwritten once sent. Nothing here sends: the window
// gets a recording sender and a free receiving port.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/cfgdlg.h"
#include "app/mainfrom.h"
#include "app/pwddlg.h"
#include "protocol/packets.h"
#include "tests/support/windowsupport.h"

namespace kavren::app {
namespace {

using app::TMainF;
using testsupport::ModalWatcher;
using testsupport::widget;

const QString kSecret = QStringLiteral("s3cr3t-Pa55");

// Every Qt message while a test runs, to look for the secret in them.
std::vector<QString>& logLines() {
    static std::vector<QString> lines;
    return lines;
}

void recordMessage(QtMsgType, const QMessageLogContext&, const QString& text) {
    logLines().push_back(text);
}

// Reads memory that may lie in a stack frame the sanitizer has marked out of
// scope; the address is inside the live frame of the running update.
__attribute__((no_sanitize_address, noinline)) std::vector<std::uint8_t> peek(
    const std::uint8_t* address, std::size_t count) {
    std::vector<std::uint8_t> out(count);
    const volatile std::uint8_t* p = address;
    for (std::size_t i = 0; i < count; ++i)
        out[i] = p[i];
    return out;
}

class SecretTest : public ::testing::Test {
protected:
    void SetUp() override {
        logLines().clear();
        previousHandler = qInstallMessageHandler(recordMessage);
        std::vector<net::AdapterInfo> adapters = {
            {.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, .addresses = {"192.168.0.10"}}};
        window = testsupport::openProgramWindows(
            {std::make_unique<testsupport::FakeAdapterQuery>(adapters), &sender, 0});
        for (std::uint8_t n = 1; n <= 2; ++n) {
            testsupport::DeviceTexts device;
            device.mac = {0x02, 0xC4, 0x7E, 0x00, 0x00, n};
            device.name = "Device " + std::to_string(n);
            device.ip = {192, 168, 0, static_cast<std::uint8_t>(100 + n)};
            device.mask = {255, 255, 255, 0};
            device.gateway = {192, 168, 0, 1};
            const std::vector<std::uint8_t> reply = testsupport::infoReply(device);
            window->IdUDPServerUDPRead(window->IdUDPServer, reply, window->IdUDPServer.binding(0));
        }
        ASSERT_EQ(window->grid().deviceRowCount(), 2);
    }

    void TearDown() override {
        qInstallMessageHandler(previousHandler);
        testsupport::closeProgramWindows(window);
    }

    // Nothing the user can see or the log holds carries the secret.
    void expectSecretNowhere(const ModalWatcher& watcher) {
        for (const testsupport::SeenModal& seen : watcher.seen()) {
            EXPECT_FALSE(seen.text.contains(kSecret)) << seen.text.toStdString();
            EXPECT_FALSE(seen.title.contains(kSecret));
        }
        EXPECT_FALSE(widget<QLabel>(*window, "StatusPanel0")->text().contains(kSecret));
        EXPECT_FALSE(widget<QLabel>(*window, "StatusPanel1")->text().contains(kSecret));
        EXPECT_FALSE(widget<QPlainTextEdit>(*PwdDlg, "CfgList")->toPlainText().contains(kSecret));
        EXPECT_FALSE(PwdDlg->windowTitle().contains(kSecret));
        for (const QString& line : logLines())
            EXPECT_FALSE(line.contains(kSecret)) << line.toStdString();
        for (int row = 0; row < window->grid().rowCount(); ++row) {
            for (int col = 0; col < DeviceGrid::kColCount; ++col)
                EXPECT_EQ(window->grid().cell(col, row).find(kSecret.toStdString()),
                          std::string::npos);
        }
    }

    // The box holds nothing, and undo cannot bring the secret back.
    void expectPasswordBoxEmpty() {
        EXPECT_TRUE(widget<QLineEdit>(*PwdDlg, "Password")->text().isEmpty());
        widget<QLineEdit>(*PwdDlg, "Password")->undo();
        EXPECT_FALSE(widget<QLineEdit>(*PwdDlg, "Password")->text().contains(kSecret));
        widget<QLineEdit>(*PwdDlg, "Password")->clear();
    }

    QtMessageHandler previousHandler = nullptr;
    testsupport::RecordingSender sender;
    std::unique_ptr<TMainF> window;
};

// Types the secret into the confirmation dialog, then leaves it by `leave`.
ModalWatcher::Answer typeSecretThen(std::function<void(app::TPwdDlg*)> leave) {
    return [leave = std::move(leave)](QWidget* w, int) {
        if (auto* pwd = qobject_cast<app::TPwdDlg*>(w)) {
            QTest::keyClicks(widget<QLineEdit>(*pwd, "Password"), kSecret);
            leave(pwd);
            return true;
        }
        return ModalWatcher::pressOk(w);
    };
}

TEST_F(SecretTest, TheBoxIsEmptyAfterOk) {
    ModalWatcher watcher(
        typeSecretThen([](app::TPwdDlg* pwd) { widget<QPushButton>(*pwd, "OKBtn")->click(); }));
    widget<QAction>(*window, "MnuUpdateAll")->trigger();
    ASSERT_EQ(sender.sent.size(), 2u);
    expectPasswordBoxEmpty();
    expectSecretNowhere(watcher);
}

TEST_F(SecretTest, TheBoxIsEmptyAfterCancelEscapeAndTheCloseControl) {
    const std::vector<std::function<void(app::TPwdDlg*)>> ways = {
        [](app::TPwdDlg* pwd) { widget<QPushButton>(*pwd, "CancelBtn")->click(); },
        [](app::TPwdDlg* pwd) { QTest::keyClick(pwd, Qt::Key_Escape); },
        [](app::TPwdDlg* pwd) { pwd->close(); },
    };
    for (std::size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        ModalWatcher watcher(typeSecretThen(ways[i]));
        window->DevListSelectCell(6, 1);
        widget<QAction>(*window, "MnuUpdateDev")->trigger();
        ASSERT_GE(watcher.seen().size(), 2u);
        EXPECT_EQ(watcher.seen()[1].text, QStringLiteral("Cancel Configuration"));
        expectPasswordBoxEmpty();
        expectSecretNowhere(watcher);
    }
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(SecretTest, AFailedSendShowsItsErrorWithoutTheSecretAndEmptiesTheBox) {
    sender.failWith = "Socket Error # 10051\r\nNetwork is unreachable.";
    ModalWatcher watcher(
        typeSecretThen([](app::TPwdDlg* pwd) { widget<QPushButton>(*pwd, "OKBtn")->click(); }));
    widget<QAction>(*window, "MnuUpdateAll")->trigger();
    ASSERT_EQ(watcher.seen().size(), 2u);  // the failure ends Update All at its first row
    EXPECT_EQ(watcher.seen()[1].kind, QStringLiteral("ErrorDisplay"));
    EXPECT_EQ(watcher.seen()[1].text,
              QStringLiteral("Socket Error # 10051\r\nNetwork is unreachable."));
    expectPasswordBoxEmpty();
    expectSecretNowhere(watcher);
}

TEST_F(SecretTest, TheRequestThatCarriedTheSecretIsOverwrittenOnceSent) {
    const protocol::ScrambledPassword scrambled = protocol::scramblePassword(kSecret.toStdString());
    const std::vector<std::uint8_t> carried(scrambled.begin(), scrambled.end());
    std::vector<std::uint8_t> leftAfterFirst;
    // Update All sends row 1, then asks for row 2 from the same frame: while
    // the second confirmation is up, row 1's request memory is looked at.
    ModalWatcher watcher([&](QWidget* w, int) {
        if (auto* pwd = qobject_cast<app::TPwdDlg*>(w)) {
            if (sender.buffers.size() == 1) {
                leftAfterFirst = peek(sender.buffers[0] + protocol::kConfigCurrentPasswordOffset,
                                      carried.size());
            }
            QTest::keyClicks(widget<QLineEdit>(*pwd, "Password"), kSecret);
            widget<QPushButton>(*pwd, "OKBtn")->click();
            return true;
        }
        return ModalWatcher::pressOk(w);
    });
    widget<QAction>(*window, "MnuUpdateAll")->trigger();
    ASSERT_EQ(sender.sent.size(), 2u);
    // What was sent did carry the scrambled secret...
    const std::vector<std::uint8_t> sentPart(
        sender.sent[0].bytes.begin() + protocol::kConfigCurrentPasswordOffset,
        sender.sent[0].bytes.begin() + protocol::kConfigCurrentPasswordOffset +
            protocol::kPasswordWidth);
    EXPECT_EQ(sentPart, carried);
    // ...and the memory it was sent from no longer does.
    ASSERT_EQ(leftAfterFirst.size(), carried.size());
    EXPECT_NE(leftAfterFirst, carried);
}

}  // namespace
}  // namespace kavren::app

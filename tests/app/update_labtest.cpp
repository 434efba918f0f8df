// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration update end to end inside the lab: the real dialogs driven
// offscreen, the real sending endpoint, and the device emulator logging what
// reaches it. Every case sends only after KAVREN_REQUIRE_LAB().

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "app/cfgdlg.h"
#include "app/dialogprompts.h"
#include "app/pwddlg.h"
#include "devices/devicelist.h"
#include "net/endpointsender.h"
#include "net/idudpclient.h"
#include "protocol/packets.h"
#include "tests/lab/emulatorprocess.h"
#include "tests/lab/labguard.h"
#include "tests/support/fakes.h"
#include "tests/support/windowsupport.h"
#include "usecases/discovery.h"
#include "usecases/updatecommands.h"

namespace kavren::usecases {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using testsupport::widget;

struct Device {
    std::string mac, ip, name;
};
const std::vector<Device> kDevices = {
    {"00-1A-2B-3C-4D-5E", "198.18.0.130", "AB"},
    {"00-1A-2B-3C-4D-5F", "198.18.0.131", "CD"},
    {"00-1A-2B-3C-4D-60", "198.18.0.132", "EF"},
};

// Receives result message replies on the host port, bounded in time.
class ReplyListener final {
public:
    ReplyListener() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(protocol::kHostPort);
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~ReplyListener() { ::close(m_fd); }
    ReplyListener(const ReplyListener&) = delete;
    ReplyListener& operator=(const ReplyListener&) = delete;

    bool bound() const { return m_bound; }

    // The next datagram on the host port, nothing when none comes in time.
    std::optional<Bytes> next(std::chrono::milliseconds timeout = 3s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t buffer[2048];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0)
                return Bytes(buffer, buffer + n);
        }
        return std::nullopt;
    }

    // The text of the next result message reply, empty when none comes.
    std::string nextResult(std::chrono::milliseconds timeout = 3s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto datagram = next(std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()));
            if (!datagram)
                break;
            const protocol::Reply reply = protocol::recognise(*datagram);
            if (const auto* result = std::get_if<protocol::ResultMessageReply>(&reply))
                return result->text;
        }
        return {};
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// Answers the dialogs as they come up, one scripted step per showing. A
// step that finds no dialog within its time closes whatever is open, so a
// broken run fails instead of hanging.
class DialogDriver final {
public:
    struct Step {
        bool selection = false;        // the selection dialog, else the confirmation
        std::string password;          // confirmation: typed, then OK
        std::vector<int> ticks;        // selection: ticked, then OK
        std::function<void()> before;  // runs first, while the dialog is open
    };

    DialogDriver(app::TPwdDlg& pwd, app::TCfgDlg& cfg) : m_pwd(pwd), m_cfg(cfg) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_pwd, [this] { tick(); });
        m_timer.start();
    }

    std::deque<Step> steps;
    int ticksLeft = 1000;  // 10 s at most

private:
    void tick() {
        if (--ticksLeft <= 0) {
            m_timer.stop();
            if (m_pwd.isVisible())
                m_pwd.reject();
            if (m_cfg.isVisible())
                m_cfg.reject();
            return;
        }
        if (steps.empty())
            return;
        const Step step = steps.front();
        if (step.selection && m_cfg.isVisible()) {
            steps.pop_front();
            if (step.before)
                step.before();
            for (const int i : step.ticks)
                widget<QListWidget>(m_cfg, "DevSelList")->item(i)->setCheckState(Qt::Checked);
            widget<QPushButton>(m_cfg, "OKBtn")->click();
        } else if (!step.selection && m_pwd.isVisible()) {
            steps.pop_front();
            if (step.before)
                step.before();
            QTest::keyClicks(widget<QLineEdit>(m_pwd, "Password"),
                             QString::fromLatin1(step.password));
            widget<QPushButton>(m_pwd, "OKBtn")->click();
        }
    }

    app::TPwdDlg& m_pwd;
    app::TCfgDlg& m_cfg;
    QTimer m_timer;
};

DialogDriver::Step password(std::string typed, std::function<void()> before = {}) {
    DialogDriver::Step step;
    step.password = std::move(typed);
    step.before = std::move(before);
    return step;
}

DialogDriver::Step ticked(std::vector<int> items) {
    DialogDriver::Step step;
    step.selection = true;
    step.ticks = std::move(items);
    return step;
}

Bytes scrambled(std::string_view password) {
    Bytes out(16, 0);
    for (std::size_t i = 0; i < password.size() && i < 16; ++i) {
        const auto b = static_cast<std::uint8_t>(password[i]);
        out[i] = static_cast<std::uint8_t>(((b & 0x0F) << 4) | (b >> 4));  // 7-bit bytes only
    }
    return out;
}

class UpdateLab : public ::testing::Test {
protected:
    void SetUp() override { startLab(kDevices.size()); }

    // The emulator with every device; the list holds the first `listed`.
    void startLab(std::size_t listed) {
        KAVREN_REQUIRE_LAB();
        std::ostringstream out;
        out << "[";
        for (std::size_t i = 0; i < kDevices.size(); ++i) {
            out << (i ? "," : "") << R"({"mac":")" << kDevices[i].mac << R"(","ip":")"
                << kDevices[i].ip << R"(","name":")" << kDevices[i].name
                << R"(","password":"admin"})";
        }
        out << "]";
        m_devicesFile = lab::writeDeviceFile(out.str());
        ASSERT_FALSE(m_devicesFile.empty());
        emulator = std::make_unique<lab::EmulatorProcess>(
            std::vector<std::string>{"--devices", m_devicesFile, "--lifetime", "30"});
        std::string error;
        ASSERT_TRUE(emulator->start(&error)) << error;
        ASSERT_TRUE(listener.bound());

        frontEnd.source = testsupport::ipv4(lab::kHostA);
        for (std::size_t i = 0; i < listed; ++i) {
            const Device& d = kDevices[i];
            devices::DeviceRecord t;
            t.mac = d.mac;
            t.name = d.name;
            t.version = "1.0";
            t.deviceIp = testsupport::ipv4(d.ip);
            t.mask = testsupport::ipv4("255.255.255.0");
            t.gateway = testsupport::ipv4("198.18.0.1");
            t.description = d.name;
            list.append(t);
        }
    }
    void TearDown() override {
        if (emulator)
            emulator->stop();
        if (!m_devicesFile.empty())
            std::remove(m_devicesFile.c_str());
    }

    std::vector<lab::LoggedDatagram> configsReceived(std::size_t atLeast) {
        std::vector<lab::LoggedDatagram> configs;
        for (auto& d : emulator->waitForReceived(atLeast, 3s))
            if (d.kind == "config")
                configs.push_back(d);
        return configs;
    }

    std::unique_ptr<lab::EmulatorProcess> emulator;
    ReplyListener listener;
    net::TIdUDPClient client;
    net::EndpointSender sender{client};
    devices::DeviceList list;
    app::TPwdDlg pwd;
    app::TCfgDlg cfg;
    std::vector<std::string> messages;
    app::DialogPrompts prompts{pwd, cfg, [this](std::string_view t) { messages.emplace_back(t); }};
    testsupport::FakeUpdateFrontEnd frontEnd;
    UpdateCommands commands{list, prompts, sender, frontEnd, frontEnd};
    DialogDriver driver{pwd, cfg};

private:
    std::string m_devicesFile;
};

TEST_F(UpdateLab, UnicastRequestArrivesByteForByteAndTheDeviceTakesIt) {
    list.setField(devices::DeviceField::Ip, 1, "198.18.0.140");
    list.setField(devices::DeviceField::Mask, 1, "255.255.0.0");
    list.setField(devices::DeviceField::Gateway, 1, "198.18.0.254");
    list.setField(devices::DeviceField::Description, 1, "Line %s 4 / Hall B / Rack 7 / Slot 9+XYZ");
    list.setField(devices::DeviceField::NewPassword, 1, "s3cret");
    driver.steps = {password("admin")};
    commands.updateRow(1);

    Bytes expected = {'K',  'A',  'V',  'R',  'E',  'N', 'u', 't', 0x00, 0x90, 0x00,
                      0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0,   0,   0,   0,    198,  18,
                      0,    140,  255,  255,  0,    0,   198, 18,  0,    254};
    const std::string description = "Line %s 4 / Hall B / Rack 7 / Sl";
    expected.insert(expected.end(), description.begin(), description.end());
    const Bytes current = scrambled("admin"), next = scrambled("s3cret");
    expected.insert(expected.end(), current.begin(), current.end());
    expected.insert(expected.end(), next.begin(), next.end());
    expected.insert(expected.end(), {0, 0});

    const auto configs = configsReceived(1);
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(configs[0].destination, "198.18.0.130");
    EXPECT_EQ(configs[0].destinationPort, protocol::kDevicePort);
    EXPECT_EQ(configs[0].source, lab::kHostA);
    EXPECT_EQ(lab::toHex(configs[0].bytes),
              lab::toHex(std::string(expected.begin(), expected.end())));
    // The answer goes through the reply handling, which reports its text.
    const auto answer = listener.next();
    ASSERT_TRUE(answer.has_value());
    testsupport::RecordingReplyEvents events;
    handleReply(list, events, *answer);
    EXPECT_EQ(events.results, (std::vector<std::string>{"Setting OK"}));
    EXPECT_EQ(list.field(devices::DeviceField::NewPassword, 1), "");
    EXPECT_TRUE(messages.empty());
}

TEST_F(UpdateLab, ForceBroadcastGoesToTheWholeSegment) {
    frontEnd.broadcast = true;
    driver.steps = {password("admin")};
    commands.updateRow(2);
    const auto configs = configsReceived(1);
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(configs[0].destination, "255.255.255.255");
    EXPECT_EQ(lab::toHex(configs[0].bytes.substr(10, 6)), "001a2b3c4d5f");
    EXPECT_EQ(listener.nextResult(), "Setting OK");
}

TEST_F(UpdateLab, WrongPasswordIsAnsweredWithAnError) {
    driver.steps = {password("wrong")};
    commands.updateRow(1);
    EXPECT_EQ(configsReceived(1).size(), 1u);
    EXPECT_EQ(listener.nextResult(), "Password Error");
}

TEST_F(UpdateLab, UpdateMultiSendsToTheFirstAndThirdTicked) {
    driver.steps = {ticked({0, 2}), password("admin"), password("admin")};
    commands.updateMulti();
    const auto configs = configsReceived(2);
    ASSERT_EQ(configs.size(), 2u);
    EXPECT_EQ(configs[0].destination, "198.18.0.130");
    EXPECT_EQ(configs[1].destination, "198.18.0.132");
    EXPECT_TRUE(driver.steps.empty());
    EXPECT_EQ(widget<QListWidget>(cfg, "DevSelList")->count(), 0);
}

TEST_F(UpdateLab, UpdateAllSkipsARowWithABadNetMask) {
    list.setField(devices::DeviceField::Mask, 2, "255.255.0");
    driver.steps = {password("admin"), password("admin")};
    commands.updateAll();
    const auto configs = configsReceived(2);
    ASSERT_EQ(configs.size(), 2u);
    EXPECT_EQ(configs[0].destination, "198.18.0.130");
    EXPECT_EQ(configs[1].destination, "198.18.0.132");
    EXPECT_EQ(messages, std::vector<std::string>{"IP address Error !!"});
}

// A device that answers discovery while the first confirmation is open is
// appended to the list and updated by the same Update All.
class UpdateLabOneListed : public UpdateLab {
protected:
    void SetUp() override { startLab(1); }
};

TEST_F(UpdateLabOneListed, UpdateAllAlsoUpdatesDevicesAppendedDuringAConfirmation) {
    ASSERT_EQ(list.size(), 1);
    testsupport::RecordingReplyEvents events;
    const auto discover = [&] {
        sendDiscoveryRequest(sender, frontEnd.source);
        // Three answers come (AB is listed already and is not appended twice).
        for (int i = 0; i < 3; ++i) {
            const auto reply = listener.next();
            if (!reply)
                break;
            handleReply(list, events, *reply);
        }
    };
    driver.steps = {password("admin", discover), password("admin"), password("admin")};
    commands.updateAll();
    EXPECT_EQ(list.size(), 3);
    std::vector<std::string> destinations;
    for (const auto& d : configsReceived(4))  // the discovery request and three requests
        destinations.push_back(d.destination);
    EXPECT_EQ(destinations,
              (std::vector<std::string>{"198.18.0.130", "198.18.0.131", "198.18.0.132"}));
    EXPECT_TRUE(driver.steps.empty());
}

}  // namespace
}  // namespace kavren::usecases

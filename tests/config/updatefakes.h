// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "usecases/updatecommands.h"
#include "usecases/updateprompts.h"
#include "net/sender.h"

namespace kavren::config::testing {

// Records every prompt in one ordered event log, so tests can check both
// what was shown and in which order ("message:", "confirm:", "clear", ...).
class FakePrompts final : public UpdatePrompts {
public:
    void message(std::string_view text) override {
        events.push_back("message:" + std::string(text));
    }
    std::string confirm(std::string_view caption, const std::vector<std::string>& lines) override {
        events.push_back("confirm:" + std::string(caption));
        lastLines = lines;
        if (onConfirm)
            onConfirm();
        if (passwords.empty())
            return {};
        std::string p = passwords.front();
        passwords.pop_front();
        return p;
    }
    void clearPassword() override { events.push_back("clear"); }
    std::optional<std::vector<int>> selectDevices(const std::vector<std::string>& items) override {
        events.push_back("select");
        listed = items;
        return selection;
    }

    std::vector<std::string> events;
    std::vector<std::string> lastLines;
    std::vector<std::string> listed;
    std::deque<std::string> passwords;  // answers to successive confirmations
    std::optional<std::vector<int>> selection;
    std::function<void()> onConfirm;
};

struct SentDatagram {
    std::string host;
    bool broadcast = false;
    std::vector<std::uint8_t> bytes;
};

class FakeSender final : public DatagramSender {
public:
    void send(std::string_view host, bool broadcast,
              std::span<const std::uint8_t> datagram) override {
        if (failOnCall && *failOnCall == calls++)
            throw std::runtime_error("Socket Error # 10049");
        sent.push_back({std::string(host), broadcast, {datagram.begin(), datagram.end()}});
    }

    std::vector<SentDatagram> sent;
    std::optional<int> failOnCall;  // zero-based call that throws
    int calls = 0;
};

class FakeUi final : public UpdateUi {
public:
    bool forceBroadcast() const override {
        ++broadcastReads;
        return broadcast;
    }
    void disableUpdateDevice() override { ++disabled; }

    bool broadcast = false;
    mutable int broadcastReads = 0;
    int disabled = 0;
};

}  // namespace kavren::config::testing

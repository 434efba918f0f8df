// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-ins every test area builds its subject on: a sender that records
// instead of sending, an adapter query with a fixed answer, a status sink
// that keeps what was shown, and the update use case's prompts and window
// side. None of them touches a socket or a widget.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/devicegrid.h"
#include "net/adapters.h"
#include "net/sender.h"
#include "usecases/discovery.h"
#include "usecases/updatecommands.h"
#include "usecases/updateprompts.h"

namespace kavren::testsupport {

// Records what would have been sent; can be told to fail instead.
class RecordingSender final : public DatagramSender {
public:
    struct Sent {
        std::string host;
        bool broadcast = false;
        std::vector<std::uint8_t> bytes;
    };
    void send(std::string_view host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;

    std::vector<Sent> sent;
    // Where each datagram lay when it was handed over, for the checks that
    // the bytes carrying a password are overwritten afterwards.
    std::vector<const std::uint8_t*> buffers;
    std::optional<std::string> failWith;  // every call throws it as std::runtime_error
    std::optional<int> failOnCall;        // this zero-based call throws a socket error
    int calls = 0;
};

class FakeAdapterQuery final : public AdapterQuery {
public:
    explicit FakeAdapterQuery(std::optional<std::vector<AdapterInfo>> answer)
        : m_answer(std::move(answer)) {}
    std::optional<std::vector<AdapterInfo>> query() override { return m_answer; }

private:
    std::optional<std::vector<AdapterInfo>> m_answer;
};

// Keeps the latest text of each status panel and counts the writes.
class RecordingStatus final : public StatusSink {
public:
    void setStatusText(Panel panel, std::string_view text) override {
        panels[panel] = std::string(text);
        ++writes;
    }
    std::string text(Panel panel) const {
        const auto it = panels.find(panel);
        return it == panels.end() ? std::string() : it->second;
    }

    std::map<int, std::string> panels;
    int writes = 0;
};

// Records every prompt in one ordered event log, so tests can check both
// what was shown and in which order ("message:", "confirm:", "clear", ...).
class FakePrompts final : public config::UpdatePrompts {
public:
    void message(std::string_view text) override;
    std::string confirm(std::string_view caption, const std::vector<std::string>& lines) override;
    void clearPassword() override { events.emplace_back("clear"); }
    std::optional<std::vector<int>> selectDevices(const std::vector<std::string>& items) override;

    std::vector<std::string> events;
    std::vector<std::string> lastLines;
    std::vector<std::string> listed;
    std::deque<std::string> passwords;  // answers to successive confirmations
    std::optional<std::vector<int>> selection;
    std::function<void()> onConfirm;
};

class FakeUi final : public config::UpdateUi {
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

// A device row with plain texts in every column, for tests about the grid's
// rows rather than their contents.
inline DeviceGrid::DeviceRowTexts deviceRow(const std::string& mac,
                                            const std::string& name = "dev") {
    return {.mac = mac,
            .name = name,
            .version = "1.0",
            .deviceIp = "10.0.0.1",
            .ip = "10.0.0.1",
            .mask = "255.0.0.0",
            .gateway = "10.0.0.254",
            .description = "desc"};
}

}  // namespace kavren::testsupport

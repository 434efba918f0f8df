// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fakes.h"

#include <stdexcept>

namespace kavren::testsupport {

void RecordingSender::send(std::string_view host, bool broadcast,
                           std::span<const std::uint8_t> datagram) {
    const int call = calls++;
    if (failWith)
        throw std::runtime_error(*failWith);
    if (failOnCall && *failOnCall == call)
        throw std::runtime_error("Socket Error # 10049");
    buffers.push_back(datagram.data());
    sent.push_back({std::string(host), broadcast, {datagram.begin(), datagram.end()}});
}

void FakePrompts::message(std::string_view text) {
    events.push_back("message:" + std::string(text));
}

std::string FakePrompts::confirm(std::string_view caption, const std::vector<std::string>& lines) {
    events.push_back("confirm:" + std::string(caption));
    lastLines = lines;
    if (onConfirm)
        onConfirm();
    if (passwords.empty())
        return {};
    std::string answer = std::move(passwords.front());
    passwords.pop_front();
    return answer;
}

std::optional<std::vector<int>> FakePrompts::selectDevices(const std::vector<std::string>& items) {
    events.emplace_back("select");
    listed = items;
    return selection;
}

}  // namespace kavren::testsupport

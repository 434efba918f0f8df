// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fakes.h"

#include <algorithm>
#include <stdexcept>

#include "wording/wording.h"

namespace kavren::testsupport {

void RecordingSender::send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
                           std::span<const std::uint8_t> datagram) {
    const int call = calls++;
    if (failWith)
        throw std::runtime_error(*failWith);
    if (failOnCall && *failOnCall == call)
        throw std::runtime_error("Socket Error # 10049");
    buffers.push_back(datagram.data());
    sent.push_back({host.text(), broadcast, {datagram.begin(), datagram.end()}, source.text()});
}

void FakeDevicePort::send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
                          std::span<const std::uint8_t> datagram) {
    sent.push_back({source.text(), host.text(), broadcast, {datagram.begin(), datagram.end()}});
    if (onSend)
        onSend(sent.back());
}

void FakeDevicePort::receive(Clock::time_point deadline, const DatagramHandler& handler) {
    for (;;) {
        // The earliest arrival, the first scheduled among equals.
        auto next =
            std::min_element(m_arrivals.begin(), m_arrivals.end(),
                             [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
        if (next == m_arrivals.end() || next->at > deadline) {
            m_now = std::max(m_now, deadline);
            return;
        }
        m_now = std::max(m_now, next->at);
        const Arrival arrival = std::move(*next);
        m_arrivals.erase(next);
        if (handler(arrival.bytes, ipv4(arrival.sender)))
            return;
    }
}

std::optional<protocol::Ipv4Address> FakeDevicePort::adapterMask(protocol::Ipv4Address address) {
    const auto it = masks.find(address.text());
    return it == masks.end() ? std::nullopt : std::optional(ipv4(it->second));
}

std::string FakeDevicePort::utcText() const {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch());
    return "t+" + std::to_string(elapsed.count()) + "ms";
}

void FakeDevicePort::deliver(std::vector<std::uint8_t> bytes, std::string sender,
                             std::chrono::milliseconds after) {
    m_arrivals.push_back({m_now + after, std::move(bytes), std::move(sender)});
}

void FakePrompts::stopped(usecases::UpdateStop reason) {
    constexpr const char* kNames[] = {"address", "cancelled", "charset"};
    events.push_back(std::string("stopped:") + kNames[static_cast<int>(reason)]);
}

std::string FakePrompts::confirm(const devices::DeviceList& list, int row) {
    events.push_back("confirm:" + wording::confirmationCaption(list, row));
    lastLines = wording::confirmationLines(list, row);
    if (onConfirm)
        onConfirm();
    if (passwords.empty())
        return {};
    std::string answer = std::move(passwords.front());
    passwords.pop_front();
    return answer;
}

std::optional<std::vector<int>> FakePrompts::selectDevices(const devices::DeviceList& list) {
    events.emplace_back("select");
    listed.clear();
    for (int row = 1; row <= list.size(); ++row)
        listed.push_back(wording::selectionItem(list, row));
    return selection;
}

void RecordingReplyEvents::deviceListed(std::string_view name, std::string_view mac) {
    log.push_back("listed " + std::string(name) + " (" + std::string(mac) + ")");
}

void RecordingReplyEvents::resultReceived(std::string_view name, std::string_view mac,
                                          std::string_view text, bool accepted) {
    log.push_back((accepted ? "result " : "refused ") + std::string(name) + " (" +
                  std::string(mac) + "): " + std::string(text));
    results.emplace_back(text);
}

}  // namespace kavren::testsupport

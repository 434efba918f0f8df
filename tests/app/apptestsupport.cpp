// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/apptestsupport.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "app/plainmessagebox.h"
#include "protocol/packets.h"

namespace kavren::apptest {

ModalWatcher::ModalWatcher(Answer answer) : m_answer(std::move(answer)) {
    if (!m_answer)
        m_answer = [](QWidget* window, int) { return pressOk(window); };
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    m_timer.start();
}

ModalWatcher::~ModalWatcher() = default;

std::vector<QString> ModalWatcher::texts() const {
    std::vector<QString> out;
    for (const SeenModal& s : m_seen)
        out.push_back(s.text);
    return out;
}

bool ModalWatcher::pressOk(QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        box->button(QMessageBox::Ok)->click();
        return true;
    }
    if (auto* plain = qobject_cast<app::PlainMessageBox*>(window)) {
        plain->okButton()->click();
        return true;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->accept();
        return true;
    }
    return false;
}

void ModalWatcher::poll() {
    QWidget* window = QApplication::activeModalWidget();
    if (!window || !window->isVisible())
        return;
    auto known = std::find_if(m_recorded.begin(), m_recorded.end(),
                              [window](const Visit& v) { return v.window == window; });
    if (known == m_recorded.end()) {
        m_recorded.push_back({window, 0});
        known = std::prev(m_recorded.end());
        SeenModal seen;
        seen.kind = window->objectName();
        seen.title = window->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(window)) {
            seen.text = box->text();
            seen.errorIcon = box->icon() == QMessageBox::Critical;
        } else if (auto* plain = qobject_cast<app::PlainMessageBox*>(window)) {
            seen.text = plain->textLabel()->text();
        }
        m_seen.push_back(seen);
    }
    // Visits are counted per window, so a window that comes back to the top
    // after a nested one closed goes on counting.
    m_answer(window, known->visits++);
}

void RecordingSender::send(std::string_view host, bool broadcast,
                           std::span<const std::uint8_t> datagram) {
    if (failWith)
        throw std::runtime_error(*failWith);
    sent.push_back({std::string(host), broadcast, {datagram.begin(), datagram.end()}});
}

namespace {

std::vector<std::uint8_t> header(std::size_t size, std::uint8_t kind,
                                 const std::array<std::uint8_t, 6>& mac) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy(packet::kMagic.begin(), packet::kMagic.end(), bytes.begin());
    bytes[packet::kKindOffset] = kind;
    std::copy(mac.begin(), mac.end(), bytes.begin() + packet::kMacOffset);
    return bytes;
}

void putText(std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t width,
             const std::string& text) {
    const std::size_t n = std::min(width, text.size());
    std::copy_n(text.begin(), n, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putIp(std::vector<std::uint8_t>& bytes, std::size_t offset,
           const std::array<std::uint8_t, 4>& ip) {
    std::copy(ip.begin(), ip.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

std::vector<std::uint8_t> infoReply(const DeviceTexts& device) {
    auto bytes = header(packet::kInfoSize, packet::kKindDeviceInfo, device.mac);
    putIp(bytes, packet::kInfoIpOffset, device.ip);
    putIp(bytes, packet::kInfoMaskOffset, device.mask);
    putIp(bytes, packet::kInfoGatewayOffset, device.gateway);
    putText(bytes, packet::kInfoNameOffset, packet::kInfoNameWidth, device.name);
    putText(bytes, packet::kInfoVersionOffset, packet::kInfoVersionWidth, device.version);
    putText(bytes, packet::kInfoDescriptionOffset, packet::kInfoDescriptionWidth,
            device.description);
    return bytes;
}

std::vector<std::uint8_t> resultReply(const std::array<std::uint8_t, 6>& mac,
                                      const std::string& text) {
    auto bytes = header(packet::kResultSize, packet::kKindResult, mac);
    putText(bytes, packet::kResultTextOffset, packet::kResultTextWidth, text);
    return bytes;
}

std::vector<QUrl>& openedUrls() {
    static std::vector<QUrl> urls;
    return urls;
}

}  // namespace kavren::apptest

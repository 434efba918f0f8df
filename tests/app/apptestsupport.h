// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/adapters.h"
#include "net/sender.h"

namespace kavren::apptest {

// One modal window the watcher saw: what kind (its object name), caption,
// text, and whether it carried the error icon.
struct SeenModal {
    QString kind;
    QString title;
    QString text;
    bool errorIcon = false;
};

// Answers modal windows so that no test ever blocks: every few milliseconds
// it looks for the active modal window, records it once, and asks `answer`
// what to do; answer returns true when it has closed the window. The default
// answer presses OK.
class ModalWatcher final : public QObject {
public:
    using Answer = std::function<bool(QWidget* window, int visits)>;

    explicit ModalWatcher(Answer answer = {});
    ~ModalWatcher() override;

    const std::vector<SeenModal>& seen() const { return m_seen; }
    std::vector<QString> texts() const;
    // Presses OK (or accepts) on any of the program's modal windows.
    static bool pressOk(QWidget* window);

private:
    void poll();

    Answer m_answer;
    QTimer m_timer;
    std::vector<SeenModal> m_seen;
    struct Visit {
        QPointer<QWidget> window;
        int visits;
    };
    std::vector<Visit> m_recorded;
};

// Records what would have been sent; can be told to fail instead.
class RecordingSender final : public DatagramSender {
public:
    struct Sent {
        std::string host;
        bool broadcast;
        std::vector<std::uint8_t> bytes;
    };
    void send(std::string_view host, bool broadcast,
              std::span<const std::uint8_t> datagram) override;

    std::vector<Sent> sent;
    std::optional<std::string> failWith;  // thrown as std::runtime_error
};

class FakeAdapterQuery final : public AdapterQuery {
public:
    explicit FakeAdapterQuery(std::optional<std::vector<AdapterInfo>> answer)
        : m_answer(std::move(answer)) {}
    std::optional<std::vector<AdapterInfo>> query() override { return m_answer; }

private:
    std::optional<std::vector<AdapterInfo>> m_answer;
};

// Reply datagrams as a device sends them.
struct DeviceTexts {
    std::array<std::uint8_t, 6> mac{};
    std::string name, version, description;
    std::array<std::uint8_t, 4> ip{}, mask{}, gateway{};
};
std::vector<std::uint8_t> infoReply(const DeviceTexts& device);
std::vector<std::uint8_t> resultReply(const std::array<std::uint8_t, 6>& mac,
                                      const std::string& text);

// The addresses QDesktopServices was asked to open ("http" and "https"),
// captured by the test program's own URL handler, so no browser ever starts.
std::vector<QUrl>& openedUrls();

}  // namespace kavren::apptest

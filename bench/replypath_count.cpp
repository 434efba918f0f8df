// SPDX-License-Identifier: GPL-3.0-or-later
// The receive path without the network or the window, for callgrind:
// COUNT device replies, each of a new device, are queued in batches as the
// receive thread queues them, then taken and handled one at a time as the
// user-interface thread does. Only that part is instrumented, so
//   valgrind --tool=callgrind --instr-atstart=no kavren_replypath_count COUNT
// divided by COUNT is the cost of one reply from the queue to a listed row.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "net/deliveryqueue.h"
#include "usecases/discovery.h"

namespace {

std::vector<std::uint8_t> reply(int i) {
    std::vector<std::uint8_t> b(112, 0);
    const std::string magic = "KAVRENut";
    std::copy(magic.begin(), magic.end(), b.begin());
    b[9] = 0x70;
    const std::uint8_t mac[] = {0x02,
                                0x00,
                                static_cast<std::uint8_t>(i >> 24),
                                static_cast<std::uint8_t>(i >> 16),
                                static_cast<std::uint8_t>(i >> 8),
                                static_cast<std::uint8_t>(i)};
    std::copy(std::begin(mac), std::end(mac), b.begin() + 10);
    const std::string name = "KAVREN-" + std::to_string(100000 + i);
    std::copy(name.begin(), name.end(), b.begin() + 32);
    return b;
}

// Keeps what the window would show: the last device's line.
struct LastDevice final : kavren::usecases::ReplyEvents {
    std::string line;
    void deviceListed(std::string_view name, std::string_view mac) override {
        line.assign("Device : ").append(name).append(" (").append(mac).push_back(')');
    }
    void resultReceived(std::string_view name, std::string_view mac, std::string_view,
                        bool) override {
        deviceListed(name, mac);
    }
    void listFull() override {}
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::vector<std::vector<std::uint8_t>> replies;
    for (int i = 0; i < count; ++i)
        replies.push_back(reply(i));
    kavren::devices::DeviceList devices;
    LastDevice events;
    kavren::net::DeliveryQueue queue(static_cast<std::size_t>(count) + 64, 1024);

    CALLGRIND_START_INSTRUMENTATION;
    std::vector<kavren::net::ReceivedDatagram> batch;
    batch.reserve(64);
    for (int i = 0; i < count; ++i) {
        batch.push_back({replies[static_cast<std::size_t>(i)], nullptr, 0xC6120002, 62630});
        if (batch.size() == 64 || i + 1 == count) {
            queue.append(batch);
            batch.clear();
        }
    }
    kavren::net::DeliveryEntry entry;
    while (queue.takeFront(entry))
        kavren::usecases::handleReply(devices, events, entry.data);
    CALLGRIND_STOP_INSTRUMENTATION;

    std::printf("rows=%d %s\n", devices.size(), events.line.c_str());
    return devices.size() == count ? 0 : 1;
}

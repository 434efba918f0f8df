// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery over two adapters through a port in memory: one record per MAC,
// the adapter of the first reply, other senders kept beside it, the bound.
#include "usecases/founddevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fakes.h"
#include "tests/support/replybuilder.h"

namespace kavren::usecases {
namespace {

using std::chrono::milliseconds;
using testsupport::DeviceTexts;
using testsupport::FakeDevicePort;

DeviceTexts device(std::uint8_t last, const std::string& description) {
    return {.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last},
            .name = "dev",
            .version = "1.0",
            .description = description,
            .ip = {10, 0, 0, last},
            .mask = {255, 255, 255, 0},
            .gateway = {10, 0, 0, 1}};
}

TEST(FindDevices, MergesRepliesByMacAcrossAdapters) {
    struct Case {
        const char* name;
        int retries;
        std::size_t maxDevices;
        std::string devices;  // "MAC via sender [rivals]" per device
        int heard;
        std::size_t requests;
        bool leftOut;
    };
    const std::vector<Case> cases = {
        {"every device once, the first adapter's reply counts", 0, 100,
         "00-1A-2B-3C-4D-01 via 10.0.0.5 from 10.0.0.1 [10.0.1.66]; "
         "00-1A-2B-3C-4D-02 via 10.0.1.5 from 10.0.0.2 []; ",
         3, 2, false},
        {"retries send again and merge the same replies", 2, 100,
         "00-1A-2B-3C-4D-01 via 10.0.0.5 from 10.0.0.1 [10.0.1.66]; "
         "00-1A-2B-3C-4D-02 via 10.0.1.5 from 10.0.0.2 []; ",
         3, 6, false},
        {"beyond the bound a new device is left out, a known one still merged", 0, 1,
         "00-1A-2B-3C-4D-01 via 10.0.0.5 from 10.0.0.1 [10.0.1.66]; ", 2, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDevicePort port;
        // Device 1 answers on both segments, an impostor with its MAC and
        // device 2 only on the second.
        port.onSend = [&port](const FakeDevicePort::Sent& sent) {
            port.deliver(testsupport::infoReply(device(1, "one")), "10.0.0.1", milliseconds(5));
            if (sent.source != "10.0.1.5")
                return;
            port.deliver(testsupport::infoReply(device(1, "fake")), "10.0.1.66", milliseconds(6));
            port.deliver(testsupport::infoReply(device(2, "two")), "10.0.0.2", milliseconds(7));
        };
        int heard = 0;
        const FoundDevices result =
            findDevices(port, port,
                        {.adapters = {testsupport::ipv4("10.0.0.5"), testsupport::ipv4("10.0.1.5")},
                         .timeout = milliseconds(1000),
                         .retries = c.retries,
                         .maxDevices = c.maxDevices},
                        {.roundStarts = {}, .heard = [&] { ++heard; }});

        std::string devices;
        for (const FoundDevice found : result) {
            devices += found->mac + " via " + found.foundVia.text() + " from " +
                       found.sender.text() + " [";
            for (const RivalClaim& rival : found.rivals)
                devices += rival.sender.text();
            devices += "]; ";
        }
        EXPECT_EQ(devices, c.devices);
        EXPECT_EQ(heard, c.heard);
        EXPECT_EQ(port.sent.size(), c.requests);
        EXPECT_EQ(result.leftOut(), c.leftOut);
        EXPECT_EQ(port.now().time_since_epoch(), milliseconds(2000));  // two rounds, no more
    }
}

}  // namespace
}  // namespace kavren::usecases

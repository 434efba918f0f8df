// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds a stream of datagrams through recognition and the reply handler into
// one grid, and checks the grid's invariants: after every datagram the row
// conventions hold (at most one row added, at the end, its number its index,
// its MAC found at that row, the trailing row empty); at the end no MAC is
// listed twice and every row still holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "devices/devicegrid.h"
#include "protocol/textcodecs.h"
#include "usecases/discovery.h"

namespace {

struct CheckingEvents final : kavren::usecases::ReplyEvents {
    // A name and a result text are at most one 32-byte field each; a MAC
    // text is 17 characters.
    static void check(std::string_view name, std::string_view mac) {
        if (name.size() > 32 || mac.size() != 17)
            std::abort();
    }
    void deviceListed(std::string_view name, std::string_view mac) override { check(name, mac); }
    void resultReceived(std::string_view name, std::string_view mac,
                        std::string_view text) override {
        check(name, mac);
        if (text.size() > 32)
            std::abort();
    }
    void listFull() override {}
};

void checkRow(const kavren::devices::DeviceGrid& grid, int r) {
    using kavren::devices::DeviceGrid;
    if (grid.cell(devices::DeviceGrid::ColRow, r) != kavren::protocol::formatRowNumber(r))
        std::abort();
    const std::string& mac = grid.cell(devices::DeviceGrid::ColMac, r);
    if (mac.size() != 17)
        std::abort();
    if (grid.findRowByMac(mac) != r)
        std::abort();  // also: no earlier row holds this MAC
    if (!grid.cell(devices::DeviceGrid::ColNewPassword, r).empty())
        std::abort();
    if (grid.cell(devices::DeviceGrid::ColDeviceIp, r) != grid.cell(devices::DeviceGrid::ColIp, r))
        std::abort();
    if (grid.cell(devices::DeviceGrid::ColName, r).size() > 32)
        std::abort();
    if (grid.cell(devices::DeviceGrid::ColVersion, r).size() > 16)
        std::abort();
    if (grid.cell(devices::DeviceGrid::ColDescription, r).size() > 32)
        std::abort();
}

void checkTrailingRow(const kavren::devices::DeviceGrid& grid) {
    const int rows = grid.rowCount();
    if (rows < 2)
        std::abort();
    for (int c = 0; c < kavren::devices::DeviceGrid::kColCount; ++c) {
        if (!grid.cell(c, rows - 1).empty())
            std::abort();
    }
}

// The whole grid, once at the end: every row as above and no MAC twice.
void checkInvariants(const kavren::devices::DeviceGrid& grid) {
    checkTrailingRow(grid);
    std::set<std::string> macs;
    for (int r = 1; r <= grid.rowCount() - 2; ++r) {
        checkRow(grid, r);
        // Every row knows its first sender; rivals stay bounded.
        if (grid.firstSender(r) == 0 ||
            grid.rivalSenders(r).size() > kavren::devices::DeviceSenders::kRivalsKept)
            std::abort();
        if (!macs.insert(grid.cell(kavren::devices::DeviceGrid::ColMac, r)).second)
            std::abort();
    }
}

}  // namespace

// The input is a sequence of datagrams, each preceded by a length byte pair
// (big-endian, cut to 1,024 as the receive buffer does). A zero byte pair
// with value 0xFFFF clears the grid, as Refresh does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavren::devices::DeviceGrid grid(64);  // a full-size index per input would dominate the run
    grid.setUp();
    CheckingEvents events;
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        const std::size_t declared = (std::size_t{data[pos]} << 8) | data[pos + 1];
        pos += 2;
        if (declared == 0xFFFF) {
            grid.clear();
            if (grid.rowCount() != 2)
                std::abort();
            checkTrailingRow(grid);
            continue;
        }
        std::size_t n = declared < 1024 ? declared : 1024;
        if (n > size - pos)
            n = size - pos;
        // Each datagram adds at most one row, at the end, and leaves the rows
        // before it alone; the new row is checked at once, the rest at the end.
        const int before = grid.rowCount();
        // The sender is taken from the length pair, so one MAC sent with
        // several lengths comes from several senders.
        const auto sender = static_cast<std::uint32_t>(0x0A000000U | declared);
        kavren::usecases::handleReply(grid, events, std::span<const std::uint8_t>(data + pos, n),
                                      sender);
        const int after = grid.rowCount();
        if (after != before && after != before + 1)
            std::abort();
        if (after == before + 1)
            checkRow(grid, after - 2);
        checkTrailingRow(grid);
        pos += n;
    }
    checkInvariants(grid);
    return 0;
}

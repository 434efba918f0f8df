// Feeds a stream of datagrams through recognition and the reply handler into
// one grid, and checks the grid's invariants after every datagram: the row
// conventions hold, every row number equals its index, no MAC is listed
// twice, and every listed MAC is found at its own row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "devices/devicegrid.h"
#include "devices/textcodecs.h"
#include "net/discovery.h"

namespace {

struct CheckingStatus final : kavren::StatusSink {
    void setStatusText(Panel panel, std::string_view text) override {
        if (panel != DevicePanel && panel != MessagePanel) std::abort();
        // A result text is at most one 32-byte field; the device line adds
        // a name of at most 32 bytes and a 17-character MAC text.
        if (text.size() > 9 + 32 + 2 + 17 + 1) std::abort();
    }
};

void checkInvariants(const kavren::DeviceGrid& grid) {
    using kavren::DeviceGrid;
    const int rows = grid.rowCount();
    if (rows < 2) std::abort();
    std::set<std::string> macs;
    for (int r = 1; r <= rows - 2; ++r) {
        if (grid.cell(DeviceGrid::ColRow, r) != kavren::codec::formatRowNumber(r)) std::abort();
        const std::string& mac = grid.cell(DeviceGrid::ColMac, r);
        if (mac.size() != 17) std::abort();
        if (!macs.insert(mac).second) std::abort();
        if (grid.findRowByMac(mac) != r) std::abort();
        if (!grid.cell(DeviceGrid::ColNewPassword, r).empty()) std::abort();
        if (grid.cell(DeviceGrid::ColDeviceIp, r) != grid.cell(DeviceGrid::ColIp, r)) std::abort();
        if (grid.cell(DeviceGrid::ColName, r).size() > 32) std::abort();
        if (grid.cell(DeviceGrid::ColVersion, r).size() > 16) std::abort();
        if (grid.cell(DeviceGrid::ColDescription, r).size() > 32) std::abort();
    }
    for (int c = 0; c < DeviceGrid::kColCount; ++c) {
        if (!grid.cell(c, rows - 1).empty()) std::abort();  // the trailing row stays empty
    }
}

}  // namespace

// The input is a sequence of datagrams, each preceded by a length byte pair
// (big-endian, cut to 1,024 as the receive buffer does). A zero byte pair
// with value 0xFFFF clears the grid, as Refresh does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavren::DeviceGrid grid;
    grid.setUp();
    CheckingStatus status;
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        const std::size_t declared = (std::size_t{data[pos]} << 8) | data[pos + 1];
        pos += 2;
        if (declared == 0xFFFF) {
            grid.clear();
            checkInvariants(grid);
            continue;
        }
        std::size_t n = declared < 1024 ? declared : 1024;
        if (n > size - pos) n = size - pos;
        kavren::handleReply(grid, status, std::span<const std::uint8_t>(data + pos, n));
        checkInvariants(grid);
        pos += n;
    }
    return 0;
}

// Micro-benchmarks of the per-reply work: recognising a datagram, looking a
// MAC up in the grid, and the whole reply handler on a grid of a given size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "devices/devicegrid.h"
#include "devices/textcodecs.h"
#include "net/discovery.h"
#include "net/packets.h"

namespace {

using kavren::DeviceGrid;
using kavren::MacBytes;

MacBytes macOf(int i) {
    return {0x02, 0x00, static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
            static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
}

std::vector<std::uint8_t> reply(int i) {
    std::vector<std::uint8_t> b(112, 0);
    const std::string magic = "KAVRENut";
    std::copy(magic.begin(), magic.end(), b.begin());
    b[9] = 0x70;
    const MacBytes mac = macOf(i);
    std::copy(mac.begin(), mac.end(), b.begin() + 10);
    const std::string name = "Device " + std::to_string(i);
    std::copy(name.begin(), name.end(), b.begin() + 32);
    return b;
}

void fill(DeviceGrid& grid, int rows) {
    for (int i = 0; i < rows; ++i) {
        DeviceGrid::DeviceRowTexts t;
        t.mac = kavren::codec::formatMac(macOf(i));
        grid.appendDeviceRow(t);
    }
}

struct NullStatus final : kavren::StatusSink {
    void setStatusText(Panel, std::string_view text) override { benchmark::DoNotOptimize(text); }
};

void BM_RecogniseReply(benchmark::State& state) {
    const auto datagram = reply(7);
    for (auto _ : state) {
        auto r = kavren::packet::recognise(datagram);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_RecogniseReply);

void BM_FindRowByMac(benchmark::State& state) {
    DeviceGrid grid;
    const int rows = static_cast<int>(state.range(0));
    fill(grid, rows);
    // Look up rows spread over the grid, and one MAC that is not listed.
    std::vector<std::string> keys;
    for (int i = 0; i < 64; ++i) keys.push_back(kavren::codec::formatMac(macOf((i * 7919) % rows)));
    keys.push_back(kavren::codec::formatMac(macOf(rows + 1)));
    std::size_t k = 0;
    for (auto _ : state) {
        auto row = grid.findRowByMac(keys[k]);
        benchmark::DoNotOptimize(row);
        k = (k + 1) % keys.size();
    }
}
BENCHMARK(BM_FindRowByMac)->Arg(1000)->Arg(50000);

// A duplicate reply on a full grid: recognise, format the MAC, find it.
void BM_HandleDuplicateReply(benchmark::State& state) {
    DeviceGrid grid;
    const int rows = static_cast<int>(state.range(0));
    fill(grid, rows);
    NullStatus status;
    const auto datagram = reply(rows / 2);
    for (auto _ : state) kavren::handleReply(grid, status, datagram);
}
BENCHMARK(BM_HandleDuplicateReply)->Arg(1000)->Arg(50000);

}  // namespace

BENCHMARK_MAIN();

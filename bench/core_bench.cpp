// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the per-reply work: recognising a datagram, looking a
// MAC up in the device list, and the whole reply handler on a list of a
// given size.
#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "devices/devicesearch.h"
#include "net/deliveryqueue.h"
#include "protocol/packets.h"
#include "protocol/textcodecs.h"
#include "support/replybuilder.h"
#include "usecases/discovery.h"

namespace {

using kavren::devices::DeviceList;
using kavren::devices::DeviceRecord;
using kavren::protocol::MacBytes;

MacBytes macOf(int i) {
    return {0x02,
            0x00,
            static_cast<std::uint8_t>(i >> 24),
            static_cast<std::uint8_t>(i >> 16),
            static_cast<std::uint8_t>(i >> 8),
            static_cast<std::uint8_t>(i)};
}

std::vector<std::uint8_t> reply(int i) {
    return kavren::testsupport::infoReply({.mac = macOf(i), .name = "Device " + std::to_string(i)});
}

void fill(DeviceList& devices, int rows) {
    for (int i = 0; i < rows; ++i) {
        DeviceRecord t;
        t.mac = kavren::protocol::formatMac(macOf(i));
        devices.append(t);
    }
}

// Discards the texts: a recording fake would put its own copies into the
// measured time.
struct NullEvents final : kavren::usecases::ReplyEvents {
    void deviceListed(std::string_view name, std::string_view mac) override {
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(mac);
    }
    void resultReceived(std::string_view name, std::string_view mac, std::string_view text,
                        bool) override {
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(mac);
        benchmark::DoNotOptimize(text);
    }
    void listFull() override {}
};

void BM_RecogniseReply(benchmark::State& state) {
    const auto datagram = reply(7);
    for (auto _ : state) {
        auto r = kavren::protocol::recognise(datagram);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_RecogniseReply);

void BM_FindRowByMac(benchmark::State& state) {
    DeviceList devices;
    const int rows = static_cast<int>(state.range(0));
    fill(devices, rows);
    // Look up devices spread over the list, and one MAC that is not listed.
    std::vector<std::string> keys;
    for (int i = 0; i < 64; ++i)
        keys.push_back(kavren::protocol::formatMac(macOf((i * 7919) % rows)));
    keys.push_back(kavren::protocol::formatMac(macOf(rows + 1)));
    std::size_t k = 0;
    for (auto _ : state) {
        auto row = devices.findByMac(keys[k]);
        benchmark::DoNotOptimize(row);
        k = (k + 1) % keys.size();
    }
}
BENCHMARK(BM_FindRowByMac)->Arg(1000)->Arg(50000);

// A duplicate reply on a full list: recognise, format the MAC, find it.
void BM_HandleDuplicateReply(benchmark::State& state) {
    DeviceList devices;
    const int rows = static_cast<int>(state.range(0));
    fill(devices, rows);
    NullEvents events;
    const auto datagram = reply(rows / 2);
    for (auto _ : state)
        kavren::usecases::handleReply(devices, events, datagram);
}
BENCHMARK(BM_HandleDuplicateReply)->Arg(1000)->Arg(50000);

// A reply of a new device: recognised, listed, and reported.
void BM_HandleNewReply(benchmark::State& state) {
    constexpr int kDevices = 4096;
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (int i = 0; i < kDevices; ++i)
        datagrams.push_back(reply(i));
    DeviceList devices;
    NullEvents events;
    int next = 0;
    for (auto _ : state) {
        if (next == kDevices) {
            state.PauseTiming();
            next = 0;
            state.ResumeTiming();
        }
        kavren::usecases::handleReply(devices, events, datagrams[static_cast<std::size_t>(next++)]);
    }
}
BENCHMARK(BM_HandleNewReply);

// A batch of 64 replies into the delivery queue and out again, as the two
// threads hand them over: the ring of slots beside the per-datagram
// allocation it replaced, kept here as the baseline of the comparison.
void BM_DeliveryQueueSlots(benchmark::State& state) {
    const auto datagram = reply(7);
    std::vector<kavren::net::ReceivedDatagram> batch(64, {datagram, nullptr, 0xC6120002, 62630});
    kavren::net::DeliveryQueue queue;
    kavren::net::DeliveryEntry entry;
    for (auto _ : state) {
        queue.append(batch);
        while (queue.takeFront(entry))
            benchmark::DoNotOptimize(entry.data.data());
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_DeliveryQueueSlots);

void BM_DeliveryQueuePerDatagramAllocation(benchmark::State& state) {
    struct Entry {
        std::vector<std::uint8_t> data;
        std::string peerIP;
        std::uint16_t peerPort = 0;
    };
    const auto datagram = reply(7);
    std::mutex mutex;
    std::deque<Entry> queue;
    std::vector<Entry> batch;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            batch.push_back(
                {std::vector<std::uint8_t>(datagram.begin(), datagram.end()), "198.18.0.2", 62630});
        {
            const std::lock_guard lock(mutex);
            for (auto& e : batch)
                queue.push_back(std::move(e));
        }
        batch.clear();
        for (;;) {
            std::optional<Entry> e;
            {
                const std::lock_guard lock(mutex);
                if (queue.empty())
                    break;
                e.emplace(std::move(queue.front()));
                queue.pop_front();
            }
            benchmark::DoNotOptimize(e->data.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_DeliveryQueuePerDatagramAllocation);

// Find over a list of realistic devices: the worst case is a text no device
// holds, which reads every searched field of every device. The answer must come well
// inside one frame (16 ms) at 50,000 devices.
void fillRealistic(DeviceList& devices, int rows) {
    for (int i = 0; i < rows; ++i) {
        DeviceRecord t;
        t.mac = kavren::protocol::formatMac(macOf(i));
        t.name = "KAVREN-" + std::to_string(100000 + i);
        t.version = "1.0.0";
        t.deviceIp = kavren::protocol::Ipv4Address((198U << 24) | (18U << 16) |
                                                   (static_cast<std::uint32_t>(i / 250) << 8) |
                                                   static_cast<std::uint32_t>(i % 250));
        t.mask = kavren::protocol::Ipv4Address(0xFFFFFF00U);
        t.gateway = kavren::protocol::Ipv4Address((198U << 24) | (18U << 16) | 1U);
        t.description = "Hall " + std::to_string(i % 40) + " line " + std::to_string(i % 7);
        devices.append(std::move(t));
    }
}

void BM_FindDevice(benchmark::State& state, const char* text) {
    DeviceList devices;
    const int rows = static_cast<int>(state.range(0));
    fillRealistic(devices, rows);
    const kavren::devices::DeviceSearch search(text);
    for (auto _ : state) {
        auto hit = search.find(devices, 1, kavren::devices::DeviceSearch::Direction::Forward);
        benchmark::DoNotOptimize(hit);
    }
}
// The same through the search index the window keeps (built before the
// loop, as after the first search of a burst), and building it once.
void BM_FindDeviceIndexed(benchmark::State& state, const char* text) {
    DeviceList devices;
    const int rows = static_cast<int>(state.range(0));
    fillRealistic(devices, rows);
    kavren::devices::DeviceSearchIndex index;
    index.update(devices);
    const kavren::devices::DeviceSearch search(text);
    for (auto _ : state) {
        index.update(devices);
        auto hit = search.find(index, 1, kavren::devices::DeviceSearch::Direction::Forward);
        benchmark::DoNotOptimize(hit);
    }
}

void BM_BuildSearchIndex(benchmark::State& state) {
    DeviceList devices;
    const int rows = static_cast<int>(state.range(0));
    fillRealistic(devices, rows);
    for (auto _ : state) {
        kavren::devices::DeviceSearchIndex index;
        index.update(devices);
        benchmark::DoNotOptimize(index.rowCount());
    }
}
BENCHMARK(BM_BuildSearchIndex)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDeviceIndexed, NotFound, "no such device")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDeviceIndexed, LastName, "kavren-149999")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDeviceIndexed, MacDigits, "024b56")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDevice, NotFound, "no such device")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDevice, LastName, "kavren-149999")
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindDevice, MacDigits, "024b56")->Arg(50000)->Unit(benchmark::kMillisecond);

// Appending rows that share a few addresses, as the lab's generated devices
// do: what the address index adds to every reply.
void BM_AppendSharedAddresses(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto devices = std::make_unique<DeviceList>();
        std::vector<DeviceRecord> texts(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i) {
            auto& t = texts[static_cast<std::size_t>(i)];
            t.mac = kavren::protocol::formatMac(macOf(i));
            t.deviceIp = kavren::protocol::Ipv4Address((198U << 24) | (18U << 16) |
                                                       static_cast<std::uint32_t>(129 + i % 126));
        }
        state.ResumeTiming();
        for (auto& t : texts)
            devices->append(std::move(t));
        benchmark::DoNotOptimize(devices->size());
        state.PauseTiming();
        devices.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AppendSharedAddresses)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for a discovery burst: one socket and a batched receive loop
// that only counts. Run inside the lab, with the emulator answering:
//   kavren_bare_receiver COUNT DEVICE_ADDRESS
// It sends one discovery request to DEVICE_ADDRESS and prints how long the
// replies took from the first one reaching this namespace to the last one
// counted.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/benchclock.h"
#include "bench/firstreplysniffer.h"
#include "lab/udpcounters.h"
#include "protocol/packets.h"

using namespace kavren;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s COUNT DEVICE_ADDRESS\n", argv[0]);
        return 2;
    }
    bench::requireLab(argv[0]);
    const long expected = std::strtol(argv[1], nullptr, 10);

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int request = 64 * 1024 * 1024;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &request, sizeof request) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &request, sizeof request);
    timeval wait{0, 200'000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(protocol::kHostPort);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("bind");
        return 1;
    }

    bench::FirstReplySniffer sniffer;
    if (!sniffer.start()) {
        std::perror("packet socket");
        return 1;
    }
    const std::int64_t errorsBefore = lab::udpReceiveBufferErrors();

    sockaddr_in device{};
    device.sin_family = AF_INET;
    device.sin_port = htons(protocol::kDevicePort);
    ::inet_pton(AF_INET, argv[2], &device.sin_addr);
    const double cpuBefore = bench::processCpuMs();
    const protocol::DiscoveryRequest discovery = protocol::discoveryRequest();
    ::sendto(fd, discovery.data(), discovery.size(), 0, reinterpret_cast<const sockaddr*>(&device),
             sizeof device);

    constexpr unsigned kBatch = 64;
    static std::array<std::array<std::uint8_t, 1024>, kBatch> buffers;
    std::array<iovec, kBatch> parts{};
    std::array<mmsghdr, kBatch> headers{};
    long counted = 0;
    std::int64_t lastNs = 0;
    const std::int64_t deadline = bench::monotonicNs() + 20'000'000'000;
    while (counted < expected && bench::monotonicNs() < deadline) {
        for (unsigned i = 0; i < kBatch; ++i) {
            parts[i] = {buffers[i].data(), buffers[i].size()};
            headers[i] = {};
            headers[i].msg_hdr.msg_iov = &parts[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int got = ::recvmmsg(fd, headers.data(), kBatch, MSG_WAITFORONE, nullptr);
        if (got <= 0)
            continue;
        counted += got;
        lastNs = bench::realtimeNs();
    }
    // The sniffer may still be waking up when the burst is short.
    for (int i = 0; i < 100 && sniffer.firstReplyNs() == 0; ++i)
        ::usleep(10'000);
    sniffer.stop();
    ::close(fd);
    const std::int64_t first = sniffer.firstReplyNs();
    std::printf("bare_count=%ld\n", counted);
    std::printf("cpu_process_ms=%.1f\n", bench::processCpuMs() - cpuBefore);
    std::printf("bare_ms=%.3f\n",
                first > 0 && lastNs > 0 ? static_cast<double>(lastNs - first) / 1e6 : -1.0);
    std::printf("bare_rcvbuf_errors=%lld\n",
                static_cast<long long>(lab::udpReceiveBufferErrors() - errorsBefore));
    return counted == expected ? 0 : 1;
}

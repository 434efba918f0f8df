// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/firstreplysniffer.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "protocol/packets.h"

namespace kavren::bench {

FirstReplySniffer::~FirstReplySniffer() {
    stop();
}

bool FirstReplySniffer::start() {
    m_fd = ::socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
    if (m_fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    m_thread = std::thread([this] { run(); });
    return true;
}

void FirstReplySniffer::stop() {
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void FirstReplySniffer::run() {
    std::array<std::uint8_t, 2048> packet{};
    alignas(cmsghdr) std::array<char, 256> control{};
    // At most a minute of listening; the benchmarks stop it much sooner.
    for (int turn = 0; turn < 1200 && !m_stop.load(); ++turn) {
        pollfd wait{m_fd, POLLIN, 0};
        if (::poll(&wait, 1, 50) <= 0)
            continue;
        while (!m_stop.load()) {
            sockaddr_ll from{};
            iovec part{packet.data(), packet.size()};
            msghdr header{};
            header.msg_name = &from;
            header.msg_namelen = sizeof from;
            header.msg_iov = &part;
            header.msg_iovlen = 1;
            header.msg_control = control.data();
            header.msg_controllen = control.size();
            const ssize_t got = ::recvmsg(m_fd, &header, MSG_DONTWAIT);
            if (got <= 0)
                break;
            if (from.sll_pkttype == PACKET_OUTGOING)
                continue;
            const auto size = static_cast<std::size_t>(got);
            if (size < sizeof(iphdr))
                continue;
            iphdr ip{};
            std::memcpy(&ip, packet.data(), sizeof ip);
            const std::size_t ipLength = static_cast<std::size_t>(ip.ihl) * 4;
            if (ip.protocol != IPPROTO_UDP || size < ipLength + sizeof(udphdr))
                continue;
            udphdr udp{};
            std::memcpy(&udp, packet.data() + ipLength, sizeof udp);
            if (ntohs(udp.source) != protocol::kDevicePort ||
                ntohs(udp.dest) != protocol::kHostPort)
                continue;
            std::int64_t stamp = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts{};
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    stamp = static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
                }
            }
            if (stamp == 0) {
                timespec ts{};
                ::clock_gettime(CLOCK_REALTIME, &ts);
                stamp = static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
            }
            m_first.store(stamp);
            return;
        }
    }
}

}  // namespace kavren::bench

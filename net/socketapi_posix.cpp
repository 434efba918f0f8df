// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/adapters.h"
#include "net/socketapi.h"
#include "net/socketapi_inet.h"
#include "net/socketapi_posix.h"
#include "net/socketerrors.h"

namespace kavren::net::socketapi {

namespace {

thread_local int t_lastError = 0;

bool failed() {
    t_lastError = winsockNumberFromErrno(errno);
    return false;
}

int fd(Handle socket) {
    return static_cast<int>(socket);
}

struct ErrnoMapping {
    int errnoValue;
    int number;
};

// Each errno beside the Windows Sockets error of the same condition. EPERM
// (a packet filter refusing a send) reads as an access error, ENFILE like
// EMFILE, ENOMEM as running out of buffers.
constexpr ErrnoMapping kErrnoMappings[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},
    {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
};

}  // namespace

int winsockNumberFromErrno(int errnoValue) {
    for (const auto& entry : kErrnoMappings) {
        if (entry.errnoValue == errnoValue)
            return entry.number;
    }
    return errnoValue;
}

// POSIX sockets need no library start.
LibraryUse::LibraryUse() = default;
LibraryUse::~LibraryUse() = default;

int lastError() {
    return t_lastError;
}

Handle openDatagram() {
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (handle < 0) {
        failed();
        return kNoSocket;
    }
    return handle;
}

bool bind(Handle socket, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in local = inet::address(address, port);
    if (::bind(fd(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return failed();
    return true;
}

bool localAddress(Handle socket, std::uint32_t& address, std::uint16_t& port) {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return failed();
    address = ntohl(bound.sin_addr.s_addr);
    port = ntohs(bound.sin_port);
    return true;
}

bool setBroadcast(Handle socket, bool enabled) {
    const int value = enabled ? 1 : 0;
    if (::setsockopt(fd(socket), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        return failed();
    return true;
}

std::optional<bool> broadcastEnabled(Handle socket) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_BROADCAST, &value, &length) != 0) {
        failed();
        return std::nullopt;
    }
    return value != 0;
}

int enlargeReceiveBuffer(Handle socket, int bytes) {
    // SO_RCVBUFFORCE passes over net.core.rmem_max but needs CAP_NET_ADMIN;
    // without it SO_RCVBUF is capped at rmem_max, which is still more than
    // the default.
    if (::setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        (void)::setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0)
        return 0;
    return granted;
}

int broadcastInterfaceFor(const std::string& source) {
    // Linux already picks the interface that holds a bound source address
    // for a limited broadcast, but only as a routing fallback (the first
    // interface found with that address, and not when policy rules
    // intervene); naming the interface with the datagram makes the choice
    // explicit.
    return interfaceIndexOf(source);
}

long long sendTo(Handle socket, std::span<const std::uint8_t> data, std::uint32_t address,
                 std::uint16_t port, int steerInterface) {
    sockaddr_in destination = inet::address(address, port);
    ssize_t sent = 0;
    if (steerInterface > 0) {
        // The outgoing interface rides along with the datagram (IP_PKTINFO),
        // so no socket option beyond the broadcast permission is set.
        iovec part{const_cast<std::uint8_t*>(data.data()), data.size()};
        alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &destination;
        message.msg_namelen = sizeof destination;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = steerInterface;
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
        sent = ::sendmsg(fd(socket), &message, 0);
    } else {
        sent = ::sendto(fd(socket), data.data(), data.size(), 0,
                        reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    }
    if (sent < 0) {
        failed();
        return -1;
    }
    return sent;
}

void close(Handle socket) {
    if (socket == kNoSocket)
        return;
    (void)::shutdown(fd(socket), SHUT_WR);
    (void)::close(fd(socket));
}

// The wait polls the sockets and one end of a pipe; wake() writes to the
// other end, which ends the wait at once without touching the sockets.
struct ReadinessWait::Platform {
    std::vector<pollfd> waits;
    int wakeRead = -1;
    int wakeWrite = -1;
};

ReadinessWait::ReadinessWait(const std::vector<Handle>& sockets)
    : m_platform(std::make_unique<Platform>()) {
    for (const Handle socket : sockets)
        m_platform->waits.push_back(pollfd{fd(socket), POLLIN, 0});
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_platform->wakeRead = ends[0];
        m_platform->wakeWrite = ends[1];
    }
    m_platform->waits.push_back(pollfd{m_platform->wakeRead, POLLIN, 0});
}

ReadinessWait::~ReadinessWait() {
    if (m_platform->wakeRead >= 0)
        ::close(m_platform->wakeRead);
    if (m_platform->wakeWrite >= 0)
        ::close(m_platform->wakeWrite);
}

bool ReadinessWait::wait(int timeoutMs) {
    auto& waits = m_platform->waits;
    for (auto& entry : waits)
        entry.revents = 0;
    const int ready = ::poll(waits.data(), waits.size(), timeoutMs);
    if (ready <= 0 || waits.back().revents != 0)
        return false;  // the period expired, a signal came, or woken
    bool any = false;
    for (std::size_t i = 0; i + 1 < waits.size(); ++i) {
        const short events = waits[i].revents;
        if ((events & (POLLIN | POLLERR)) != 0) {
            any = true;
        } else if ((events & (POLLHUP | POLLNVAL)) != 0) {
            // A socket shut from outside would report this on every wait;
            // leave it out rather than spin on it.
            waits[i].fd = -1;
        }
    }
    return any;
}

bool ReadinessWait::readable(std::size_t index) const {
    const pollfd& entry = m_platform->waits.at(index);
    return entry.fd >= 0 && (entry.revents & (POLLIN | POLLERR)) != 0;
}

void ReadinessWait::wake() {
    const char byte = 1;
    if (m_platform->wakeWrite >= 0)
        (void)!::write(m_platform->wakeWrite, &byte, 1);
}

// One recvmmsg call takes the whole batch.
struct ReceiveBatch::Platform {
    std::vector<iovec> parts;
    std::vector<sockaddr_in> peers;
    std::vector<mmsghdr> headers;
};

ReceiveBatch::ReceiveBatch(unsigned count, std::size_t bufferSize)
    : m_data(count * bufferSize),
      m_bufferSize(bufferSize),
      m_received(count),
      m_platform(std::make_unique<Platform>()) {
    m_platform->parts.resize(count);
    m_platform->peers.resize(count);
    m_platform->headers.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        m_platform->parts[i].iov_base = m_data.data() + i * bufferSize;
        m_platform->parts[i].iov_len = bufferSize;
    }
}

ReceiveBatch::~ReceiveBatch() = default;

unsigned ReceiveBatch::receive(Handle socket) {
    Platform& p = *m_platform;
    for (std::size_t i = 0; i < p.headers.size(); ++i) {
        p.headers[i] = mmsghdr{};
        p.headers[i].msg_hdr.msg_name = &p.peers[i];
        p.headers[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        p.headers[i].msg_hdr.msg_iov = &p.parts[i];
        p.headers[i].msg_hdr.msg_iovlen = 1;
    }
    const int count = ::recvmmsg(fd(socket), p.headers.data(),
                                 static_cast<unsigned>(p.headers.size()), MSG_DONTWAIT, nullptr);
    if (count <= 0) {
        failed();
        return 0;
    }
    for (int k = 0; k < count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const mmsghdr& header = p.headers[i];
        Received& out = m_received[i];
        out.data = std::span<const std::uint8_t>(m_data.data() + i * m_bufferSize, header.msg_len);
        out.truncated = (header.msg_hdr.msg_flags & MSG_TRUNC) != 0;
        out.peerAddress = ntohl(p.peers[i].sin_addr.s_addr);
        out.peerPort = ntohs(p.peers[i].sin_port);
    }
    return static_cast<unsigned>(count);
}

}  // namespace kavren::net::socketapi

#include "net/idudplistenerthread.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "net/deliveryqueue.h"
#include "net/idsockethandle.h"

namespace kavren {

TIdUDPListenerThread::TIdUDPListenerThread(std::vector<Socket> sockets, std::size_t bufferSize,
                                           DeliveryQueue& queue, std::function<void()> wake)
    : m_sockets(std::move(sockets)),
      m_bufferSize(bufferSize),
      m_queue(queue),
      m_wake(std::move(wake)) {}

TIdUDPListenerThread::~TIdUDPListenerThread() {
    requestStop();
    join();
}

void TIdUDPListenerThread::start() {
    m_thread = std::thread([this] { run(); });
}

void TIdUDPListenerThread::join() {
    if (m_thread.joinable())
        m_thread.join();
}

ReceiveStatistics TIdUDPListenerThread::statistics() const {
    ReceiveStatistics s;
    s.received = m_received.load(std::memory_order_relaxed);
    s.zeroLengthDropped = m_zeroLength.load(std::memory_order_relaxed);
    s.truncated = m_truncated.load(std::memory_order_relaxed);
    s.queueFullDropped = m_queueFull.load(std::memory_order_relaxed);
    s.batches = m_batches.load(std::memory_order_relaxed);
    s.wakes = m_wakes.load(std::memory_order_relaxed);
    return s;
}

// The buffers of one receive call, made once per thread and reused: one
// receive buffer of the endpoint's buffer size per datagram of a batch.
struct TIdUDPListenerThread::BatchBuffers {
    BatchBuffers(unsigned count, std::size_t bufferSize)
        : data(count * bufferSize), parts(count), peers(count), headers(count) {
        for (unsigned i = 0; i < count; ++i) {
            parts[i].iov_base = data.data() + i * bufferSize;
            parts[i].iov_len = bufferSize;
        }
    }
    void reset() {
        for (std::size_t i = 0; i < headers.size(); ++i) {
            headers[i] = mmsghdr{};
            headers[i].msg_hdr.msg_name = &peers[i];
            headers[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
            headers[i].msg_hdr.msg_iov = &parts[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
    }
    std::vector<std::uint8_t> data;
    std::vector<iovec> parts;
    std::vector<sockaddr_in> peers;
    std::vector<mmsghdr> headers;
};

void TIdUDPListenerThread::run() {
    BatchBuffers buffers(kBatchSize, m_bufferSize);

    std::vector<pollfd> waits(m_sockets.size());
    for (std::size_t i = 0; i < m_sockets.size(); ++i) {
        waits[i].fd = m_sockets[i].handle;
        waits[i].events = POLLIN;
    }

    // The stop flag is read before every wait and every receive and no wait
    // lasts longer than the wait period, so close never waits longer than
    // about one period (close also shuts the sockets, which ends a wait at
    // once).
    while (!m_stop.load(std::memory_order_acquire)) {
        const int ready = ::poll(waits.data(), waits.size(), kReceiveWaitMs);
        if (ready <= 0)
            continue;  // the period expired, or a signal came
        for (std::size_t i = 0; i < waits.size(); ++i) {
            if (m_stop.load(std::memory_order_acquire))
                break;
            const short events = waits[i].revents;
            if ((events & (POLLIN | POLLERR)) != 0) {
                receiveFrom(m_sockets[i], buffers);
            } else if ((events & (POLLHUP | POLLNVAL)) != 0) {
                // A socket shut from outside would report this on every
                // wait; leave it out rather than spin on it.
                waits[i].fd = -1;
            }
        }
    }
}

void TIdUDPListenerThread::receiveFrom(const Socket& socket, BatchBuffers& buffers) {
    std::vector<DeliveryEntry> batch;
    batch.reserve(kBatchSize);

    // Take what the socket holds, a batch at a time, until it is empty.
    while (!m_stop.load(std::memory_order_acquire)) {
        buffers.reset();
        const int count =
            ::recvmmsg(socket.handle, buffers.headers.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        // A failing receive (nothing left, a pending error report) just ends
        // this turn; the thread goes back to waiting.
        if (count <= 0)
            return;

        for (int k = 0; k < count; ++k) {
            const mmsghdr& header = buffers.headers[static_cast<std::size_t>(k)];
            m_received.fetch_add(1, std::memory_order_relaxed);
            if (header.msg_len == 0) {
                m_zeroLength.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            // A datagram longer than the buffer is cut to its first
            // bufferSize bytes, which is what the receive call gives us; the
            // reply handler judges the cut datagram like any other.
            if ((header.msg_hdr.msg_flags & MSG_TRUNC) != 0) {
                m_truncated.fetch_add(1, std::memory_order_relaxed);
            }
            const auto* bytes = static_cast<const std::uint8_t*>(header.msg_hdr.msg_iov->iov_base);
            const sockaddr_in& peer = buffers.peers[static_cast<std::size_t>(k)];
            DeliveryEntry entry;
            entry.data.assign(bytes, bytes + header.msg_len);
            entry.binding = socket.binding;
            entry.peerIP = dottedQuad(ntohl(peer.sin_addr.s_addr));
            entry.peerPort = ntohs(peer.sin_port);
            batch.push_back(std::move(entry));
        }

        if (!batch.empty()) {
            const std::size_t offered = batch.size();
            const std::size_t appended = m_queue.append(batch);
            m_queueFull.fetch_add(offered - appended, std::memory_order_relaxed);
            if (appended > 0) {
                m_batches.fetch_add(1, std::memory_order_relaxed);
                m_wakes.fetch_add(1, std::memory_order_relaxed);
                if (m_wake) {
                    try {
                        m_wake();
                    } catch (...) {
                        // Nothing from the receive thread ever reaches the user.
                    }
                }
            }
        }
        if (static_cast<unsigned>(count) < kBatchSize)
            return;
    }
}

}  // namespace kavren

#include "net/idsockethandle.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/idexception.h"
#include "net/socketerrors.h"

namespace kavren {

bool parseDottedQuad(const std::string& text, std::uint32_t& address) {
    std::uint32_t result = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            // More than three digits can only be out of range; stop before the
            // value could overflow.
            if (++digits > 3)
                return false;
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (digits == 0 || value > 255)
            return false;
        result = (result << 8) | value;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
    }
    if (pos != text.size())
        return false;
    address = result;
    return true;
}

std::string dottedQuad(std::uint32_t hostOrderAddress) {
    return std::to_string((hostOrderAddress >> 24) & 0xFF) + '.' +
           std::to_string((hostOrderAddress >> 16) & 0xFF) + '.' +
           std::to_string((hostOrderAddress >> 8) & 0xFF) + '.' +
           std::to_string(hostOrderAddress & 0xFF);
}

TIdSocketHandle::~TIdSocketHandle() {
    closeSocket();
}

void TIdSocketHandle::allocateSocket() {
    closeSocket();
    m_handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (m_handle < 0)
        throw EIdInvalidSocket();
}

void TIdSocketHandle::bind() {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_port);
    std::uint32_t address = INADDR_ANY;
    if (!m_ip.empty() && !parseDottedQuad(m_ip, address)) {
        // The layer is only ever given dotted-decimal source addresses; any
        // other text cannot name a local address.
        throw EIdSocketError(kWsaEAddrNotAvail);
    }
    local.sin_addr.s_addr = htonl(address);
    if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        throwBindError(errno);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        throwSocketError(errno);
    }
    m_ip = dottedQuad(ntohl(bound.sin_addr.s_addr));
    m_port = ntohs(bound.sin_port);
}

void TIdSocketHandle::setBroadcastFlag(bool enabled) {
    const int value = enabled ? 1 : 0;
    if (::setsockopt(m_handle, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
        throwSocketError(errno);
    }
}

int TIdSocketHandle::enlargeReceiveBuffer(int bytes) {
    // SO_RCVBUFFORCE passes over net.core.rmem_max but needs CAP_NET_ADMIN;
    // without it SO_RCVBUF is capped at rmem_max, which is still more than
    // the default. Neither failing is an error: the socket just keeps a
    // smaller buffer.
    if (::setsockopt(m_handle, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        (void)::setsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0)
        return 0;
    return granted;
}

void TIdSocketHandle::sendTo(std::span<const std::uint8_t> data, std::uint32_t hostAddress,
                             std::uint16_t port, int steerInterface) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(hostAddress);

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
        sent = ::sendmsg(m_handle, &message, 0);
    } else {
        sent = ::sendto(m_handle, data.data(), data.size(), 0,
                        reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    }
    if (sent < 0)
        throwSendError(errno);
    if (static_cast<std::size_t>(sent) != data.size())
        throw EIdNotAllBytesSent();
}

void TIdSocketHandle::closeSocket() {
    if (m_handle < 0)
        return;
    (void)::shutdown(m_handle, SHUT_WR);
    (void)::close(m_handle);
    m_handle = -1;
}

void TIdSocketHandle::shutdownBoth() {
    // On an unconnected datagram socket this reports ENOTCONN but still marks
    // both directions shut and wakes every thread waiting on the socket.
    if (m_handle >= 0)
        (void)::shutdown(m_handle, SHUT_RDWR);
}

}  // namespace kavren

// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idsockethandle.h"

#include "net/idexception.h"
#include "net/socketapi.h"
#include "net/socketerrors.h"

namespace kavren::net {

TIdSocketHandle::~TIdSocketHandle() {
    closeSocket();
}

void TIdSocketHandle::allocateSocket() {
    closeSocket();
    m_handle = socketapi::openDatagram();
    if (m_handle == socketapi::kNoSocket)
        throw EIdInvalidSocket();
}

void TIdSocketHandle::bind() {
    if (!socketapi::bind(m_handle, m_ip.value(), m_port))
        throwBindError(socketapi::lastError());
    std::uint32_t boundAddress = 0;
    std::uint16_t boundPort = 0;
    if (!socketapi::localAddress(m_handle, boundAddress, boundPort))
        throwSocketError(socketapi::lastError());
    m_ip = protocol::Ipv4Address(boundAddress);
    m_port = boundPort;
}

void TIdSocketHandle::setBroadcastFlag(bool enabled) {
    if (!socketapi::setBroadcast(m_handle, enabled))
        throwSocketError(socketapi::lastError());
}

int TIdSocketHandle::enlargeReceiveBuffer(int bytes) {
    return socketapi::enlargeReceiveBuffer(m_handle, bytes);
}

void TIdSocketHandle::sendTo(std::span<const std::uint8_t> data, protocol::Ipv4Address host,
                             std::uint16_t port, int steerInterface) {
    const long long sent = socketapi::sendTo(m_handle, data, host.value(), port, steerInterface);
    if (sent < 0)
        throwSendError(socketapi::lastError());
    if (static_cast<std::size_t>(sent) != data.size())
        throw EIdNotAllBytesSent();
}

void TIdSocketHandle::closeSocket() {
    if (m_handle == socketapi::kNoSocket)
        return;
    socketapi::close(m_handle);
    m_handle = socketapi::kNoSocket;
}

}  // namespace kavren::net

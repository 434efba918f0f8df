// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/idsockethandle.h"

#include "net/idexception.h"
#include "net/socketapi.h"
#include "net/socketerrors.h"

namespace kavren::net {

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
    m_handle = socketapi::openDatagram();
    if (m_handle == socketapi::kNoSocket)
        throw EIdInvalidSocket();
}

void TIdSocketHandle::bind() {
    std::uint32_t address = 0;
    if (!m_ip.empty() && !parseDottedQuad(m_ip, address)) {
        // The layer is only ever given dotted-decimal source addresses; any
        // other text cannot name a local address.
        throw EIdSocketError(kWsaEAddrNotAvail);
    }
    if (!socketapi::bind(m_handle, address, m_port))
        throwBindError(socketapi::lastError());
    std::uint32_t boundAddress = 0;
    std::uint16_t boundPort = 0;
    if (!socketapi::localAddress(m_handle, boundAddress, boundPort))
        throwSocketError(socketapi::lastError());
    m_ip = dottedQuad(boundAddress);
    m_port = boundPort;
}

void TIdSocketHandle::setBroadcastFlag(bool enabled) {
    if (!socketapi::setBroadcast(m_handle, enabled))
        throwSocketError(socketapi::lastError());
}

int TIdSocketHandle::enlargeReceiveBuffer(int bytes) {
    return socketapi::enlargeReceiveBuffer(m_handle, bytes);
}

void TIdSocketHandle::sendTo(std::span<const std::uint8_t> data, std::uint32_t hostAddress,
                             std::uint16_t port, int steerInterface) {
    const long long sent = socketapi::sendTo(m_handle, data, hostAddress, port, steerInterface);
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

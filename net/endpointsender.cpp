// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/endpointsender.h"

#include "net/adapters.h"
#include "net/idexception.h"
#include "net/sendsequence.h"
#include "net/socketerrors.h"

namespace kavren::net {

void EndpointSender::send(protocol::Ipv4Address host, bool broadcast,
                          std::span<const std::uint8_t> datagram) {
    const auto source = m_adapters.sourceIp();
    if (!source)
        throw EIdSocketError(kWsaEAddrNotAvail);
    sendSequence(m_client, *source, host, broadcast, datagram);
}

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/endpointsender.h"

#include "net/sendsequence.h"

namespace kavren::net {

void EndpointSender::send(protocol::Ipv4Address source, protocol::Ipv4Address host, bool broadcast,
                          std::span<const std::uint8_t> datagram) {
    sendSequence(m_client, source, host, broadcast, datagram);
}

}  // namespace kavren::net

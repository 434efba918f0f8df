// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/endpointsender.h"

#include "net/adapters.h"
#include "net/sendsequence.h"

namespace kavren::net {

void EndpointSender::send(std::string_view host, bool broadcast,
                          std::span<const std::uint8_t> datagram) {
    sendSequence(m_client, m_adapters.sourceAddress(), host, broadcast, datagram);
}

}  // namespace kavren::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/sendsequence.h"

#include "net/idudpclient.h"

namespace kavren::net {

void sendSequence(TIdUDPClient& client, protocol::Ipv4Address source, protocol::Ipv4Address host,
                  bool broadcast, std::span<const std::uint8_t> datagram, std::uint16_t port) {
    // Closing the socket (and turning broadcast off) also after a failed step
    // means the next sequence starts from a fresh socket with the permission
    // off, whatever happened to this one.
    auto finish = [&client, broadcast] {
        client.setActive(false);
        if (broadcast)
            client.setBroadcastEnabled(false);
    };
    try {
        client.binding().setIP(source);
        client.bind();
        client.setHost(broadcast ? protocol::kLimitedBroadcast : host);
        if (broadcast)
            client.setBroadcastEnabled(true);
        client.setPort(port);
        client.setActive(true);
        client.send(datagram);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace kavren::net

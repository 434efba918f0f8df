// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/sendsequence.h"

#include "net/idudpclient.h"

namespace kavren::net {

void sendSequence(TIdUDPClient& client, const std::string& sourceAddress, std::string_view host,
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
        client.binding().setIP(sourceAddress);
        client.bind();
        if (broadcast) {
            client.setHost(std::string(kLimitedBroadcast));
            client.setBroadcastEnabled(true);
        } else {
            client.setHost(std::string(host));
        }
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

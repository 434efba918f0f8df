#include "tests/lab/labsend.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/lab/labguard.h"

namespace kavren::lab {

bool sendToLoopback(std::span<const std::uint8_t> datagram, std::uint16_t port) {
    if (!isIsolated(nullptr))
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto sent = ::sendto(fd, datagram.data(), datagram.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ::close(fd);
    return sent == static_cast<ssize_t>(datagram.size());
}

}  // namespace kavren::lab

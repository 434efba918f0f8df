#include "labsockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kavren::labtest {

namespace {

int openBound(const std::string& bindAddress, std::uint16_t port) {
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        throw std::runtime_error("socket failed");
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    ::inet_pton(AF_INET, bindAddress.c_str(), &local.sin_addr);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(handle);
        throw std::runtime_error("bind of test socket failed");
    }
    return handle;
}

}  // namespace

PeerSocket::PeerSocket(const std::string& bindAddress, std::uint16_t port, const char* netnsName) {
    if (netnsName == nullptr) {
        m_handle = openBound(bindAddress, port);
        return;
    }
    // A socket belongs to the namespace it was made in, so a helper thread
    // enters the device namespace (setns moves that thread alone) and makes
    // it there; the rest of the test stays in the host namespace.
    const std::string path = std::string("/run/netns/") + netnsName;
    std::string failure;
    std::thread maker([&] {
        const int ns = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
            failure = "cannot enter " + path;
            if (ns >= 0)
                ::close(ns);
            return;
        }
        ::close(ns);
        try {
            m_handle = openBound(bindAddress, port);
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    maker.join();
    if (!failure.empty())
        throw std::runtime_error(failure);
}

PeerSocket::~PeerSocket() {
    if (m_handle >= 0)
        ::close(m_handle);
}

std::uint16_t PeerSocket::port() const {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(m_handle, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

void PeerSocket::sendTo(const std::string& address, std::uint16_t port,
                        std::span<const std::uint8_t> data) const {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &destination.sin_addr);
    if (::sendto(m_handle, data.data(), data.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0) {
        throw std::runtime_error("test send failed");
    }
}

std::optional<PeerSocket::Datagram> PeerSocket::receive(std::chrono::milliseconds wait) const {
    pollfd waitFor{m_handle, POLLIN, 0};
    if (::poll(&waitFor, 1, static_cast<int>(wait.count())) <= 0)
        return std::nullopt;
    Datagram d;
    d.data.resize(65536);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const ssize_t n = ::recvfrom(m_handle, d.data.data(), d.data.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&peer), &length);
    if (n < 0)
        return std::nullopt;
    d.data.resize(static_cast<std::size_t>(n));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    d.peerIP = text;
    d.peerPort = ntohs(peer.sin_port);
    return d;
}

std::string labEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

long long udpCounter(const std::string& name) {
    std::ifstream snmp("/proc/net/snmp");
    std::string header;
    std::string values;
    std::string line;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp:", 0) != 0)
            continue;
        if (header.empty()) {
            header = line;
        } else {
            values = line;
            break;
        }
    }
    std::istringstream names(header);
    std::istringstream numbers(values);
    std::string key;
    std::string number;
    while (names >> key && numbers >> number) {
        if (key == name)
            return std::stoll(number);
    }
    return -1;
}

}  // namespace kavren::labtest

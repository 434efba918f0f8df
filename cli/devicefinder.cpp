// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/devicefinder.h"

#include <algorithm>
#include <unordered_map>

#include "devices/devicegrid.h"
#include "net/sendsequence.h"
#include "protocol/packets.h"
#include "usecases/devicerecord.h"

namespace kavren::cli {

void addClaim(FoundDevice& listed, FoundDevice claim) {
    auto keep = [&listed](FoundDevice&& other) {
        const bool known =
            other.sender.empty() || other.sender == listed.sender ||
            std::any_of(listed.rivals.begin(), listed.rivals.end(),
                        [&](const FoundDevice& r) { return r.sender == other.sender; });
        if (known || listed.rivals.size() >= DeviceSenders::kRivalsKept)
            return;
        other.rivals.clear();
        listed.rivals.push_back(std::move(other));
    };
    std::vector<FoundDevice> more = std::move(claim.rivals);
    keep(std::move(claim));
    for (FoundDevice& other : more)
        keep(std::move(other));
}

std::optional<FoundDevice> trustedClaim(const FoundDevice& device, const std::string& sender) {
    if (device.sender == sender) {
        FoundDevice trusted = device;
        trusted.rivals.clear();
        return trusted;
    }
    for (const FoundDevice& rival : device.rivals) {
        if (rival.sender == sender)
            return rival;
    }
    return std::nullopt;
}

std::string claimantsText(const FoundDevice& device) {
    std::string text = device.sender;
    for (std::size_t i = 0; i < device.rivals.size(); ++i) {
        text += i + 1 == device.rivals.size() ? " and " : ", ";
        text += device.rivals[i].sender;
    }
    return text;
}

DeviceFinder::DeviceFinder() : m_maxDevices(DeviceGrid::kMaxDevices) {
    // As in the window: a queued datagram is never larger than a reply needs.
    m_server.setBufferSize(static_cast<int>(packet::kReceiveBufferSize));
    m_server.OnWake = [this] {
        {
            const std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_wake.notify_one();
    };
    m_server.OnUDPRead = [this](TIdUDPServer&, std::span<const std::uint8_t> data,
                                TIdSocketHandle& binding) {
        if (m_handler && !m_done)
            m_done = m_handler(data, binding.peerIP());
    };
}

DeviceFinder::~DeviceFinder() {
    m_server.setActive(false);
}

void DeviceFinder::open() {
    m_server.setActive(true);
}

void DeviceFinder::send(const std::string& source, std::string_view host, bool broadcast,
                        std::span<const std::uint8_t> datagram) {
    sendSequence(m_client, source, host, broadcast, datagram);
    ++m_sent;
}

void DeviceFinder::collect(Clock::time_point deadline, const DatagramHandler& handler) {
    m_handler = handler;
    m_done = false;
    while (!m_done) {
        // Datagrams are handed over in small portions so that a flood cannot
        // keep this loop from looking at the clock.
        while (!m_done && m_server.deliverPending(256)) {
            if (Clock::now() >= deadline)
                break;
        }
        if (m_done || Clock::now() >= deadline)
            break;
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, deadline, [this] { return m_woken; });
        m_woken = false;
    }
    m_handler = nullptr;
}

std::vector<FoundDevice> DeviceFinder::discover(
    const std::vector<std::string>& adapters, std::chrono::milliseconds timeout, int retries,
    const std::function<void(const FoundDevice&)>& onFound) {
    // Merged by MAC as the window merges: the first reply of a device counts,
    // and replies from other senders are kept beside it.
    std::unordered_map<std::string, std::size_t> listed;
    std::vector<FoundDevice> found;
    const packet::DiscoveryRequest request = packet::buildDiscoveryRequest();
    const int sends = 1 + (retries > 0 ? retries : 0);

    for (const std::string& adapter : adapters) {
        const auto start = Clock::now();
        const auto roundEnd = start + timeout;
        for (int k = 0; k < sends; ++k) {
            send(adapter, kLimitedBroadcast, true, request);
            const auto nextSend = k + 1 < sends ? start + timeout * (k + 1) / sends : roundEnd;
            collect(nextSend, [&](std::span<const std::uint8_t> data, const std::string& peer) {
                std::optional<DeviceRecord> record = deviceRecordOf(data);
                if (!record)
                    return false;
                const auto it = listed.find(record->mac);
                if (it == listed.end() && found.size() >= m_maxDevices) {
                    m_leftOut = true;
                    return false;
                }
                FoundDevice device;
                device.mac = std::move(record->mac);
                device.name = std::move(record->name);
                device.version = std::move(record->version);
                device.ip = std::move(record->deviceIp);
                device.mask = std::move(record->mask);
                device.gateway = std::move(record->gateway);
                device.description = std::move(record->description);
                device.foundVia = adapter;
                device.sender = peer;
                if (it != listed.end()) {
                    addClaim(found[it->second], std::move(device));
                    return false;
                }
                listed.emplace(device.mac, found.size());
                if (onFound)
                    onFound(device);
                found.push_back(std::move(device));
                return false;
            });
        }
    }
    return found;
}

}  // namespace kavren::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace kavren::devices {

// The source addresses of the replies each listed device came with. The
// protocol names a device by the MAC inside its reply, which any host on the
// segment can copy: a second source address claiming a listed MAC is all
// that can be seen of such an impostor, so it is kept and shown, never
// dropped unseen.
//
// Devices are numbered densely from 0 in the order they were listed. Each
// costs one 4-byte address; the rare device with rivals has them in a side
// table, bounded so that forged replies from many addresses cannot grow it.
// Address 0 stands for "not known" (a reply handed over without its sender)
// and is never a rival.
class DeviceSenders final {
public:
    // Other senders kept per device beyond the first.
    static constexpr std::size_t kRivalsKept = 4;

    enum class Claim {
        First,   // the device's first reply
        Repeat,  // a sender already known for it (or an unknown one)
        Rival,   // a sender not seen for it before
    };

    explicit DeviceSenders(std::size_t expectedDevices = 0);

    // Device `device` (0 .. size()) replied from `sender`; device size()
    // is a new one.
    Claim note(std::size_t device, std::uint32_t sender);
    // The device now answers from `sender` alone, as after a change of its
    // address that it was asked for: the senders seen before are forgotten.
    void moved(std::size_t device, std::uint32_t sender);
    void clear();

    std::size_t size() const { return m_first.size(); }
    // The first sender of a device; 0 when unknown or out of range.
    std::uint32_t first(std::size_t device) const;
    // The other senders, in the order they came; empty for nearly all.
    std::span<const std::uint32_t> rivals(std::size_t device) const;
    bool contested(std::size_t device) const { return !rivals(device).empty(); }

private:
    std::vector<std::uint32_t> m_first;
    std::unordered_map<std::size_t, std::vector<std::uint32_t>> m_rivals;
};

}  // namespace kavren::devices

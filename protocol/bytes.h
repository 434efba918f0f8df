// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kavren::protocol {

using MacBytes = std::array<std::uint8_t, 6>;
using Ipv4Bytes = std::array<std::uint8_t, 4>;

// Reads fixed fields of a received datagram. Every access is checked against
// the bytes actually received: a field that lies wholly or partly past the end
// reads as zero bytes, so a short datagram can never cause a read past it.
class ByteReader final {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::size_t size() const { return m_data.size(); }
    std::uint8_t byte(std::size_t offset) const {
        return offset < m_data.size() ? m_data[offset] : std::uint8_t{0};
    }
    template <std::size_t N>
    std::array<std::uint8_t, N> bytes(std::size_t offset) const {
        std::array<std::uint8_t, N> out{};
        for (std::size_t i = 0; i < N; ++i)
            out[i] = byte(offset + i);
        return out;
    }
    // The text of a fixed-width field: its bytes before the first zero byte,
    // or all of them when none is zero.
    std::string text(std::size_t offset, std::size_t width) const;

private:
    std::span<const std::uint8_t> m_data;
};

// Writes fields into a zero-filled buffer of fixed size; a write that would
// pass the end is cut at the end.
class ByteWriter final {
public:
    explicit ByteWriter(std::span<std::uint8_t> data) : m_data(data) {}

    void byte(std::size_t offset, std::uint8_t value) {
        if (offset < m_data.size())
            m_data[offset] = value;
    }
    void bytes(std::size_t offset, std::span<const std::uint8_t> values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            byte(offset + i, values[i]);
    }
    // Copies at most `width` bytes of the text; the rest of the field keeps
    // its zero bytes.
    void text(std::size_t offset, std::size_t width, std::string_view value) {
        const std::size_t n = value.size() < width ? value.size() : width;
        for (std::size_t i = 0; i < n; ++i)
            byte(offset + i, static_cast<std::uint8_t>(value[i]));
    }

private:
    std::span<std::uint8_t> m_data;
};

}  // namespace kavren::protocol

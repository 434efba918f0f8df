// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/bytes.h"

namespace kavren::protocol {

std::string ByteReader::text(std::size_t offset, std::size_t width) const {
    std::string out;
    for (std::size_t i = 0; i < width; ++i) {
        const std::uint8_t b = byte(offset + i);
        if (b == 0)
            break;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

}  // namespace kavren::protocol

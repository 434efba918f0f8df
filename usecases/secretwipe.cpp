// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/secretwipe.h"

namespace kavren::usecases {

void wipeBytes(std::span<std::uint8_t> bytes) {
    volatile std::uint8_t* p = bytes.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        p[i] = 0;
}

void wipeString(std::string& text) {
    // Bytes between size() and capacity() may still hold a longer earlier
    // value; growing to the capacity makes them part of the string (it never
    // reallocates), so they are overwritten too.
    text.resize(text.capacity());
    volatile char* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i)
        p[i] = 0;
    text.clear();
}

}  // namespace kavren::usecases

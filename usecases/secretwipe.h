// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kavren::usecases {

// Overwrites a secret before its memory is released. The writes go through a
// volatile pointer so the compiler cannot drop them as dead stores just
// before the free.
void wipeBytes(std::span<std::uint8_t> bytes);
// Wipes the whole capacity of the string, not only its current length, and
// leaves it empty.
void wipeString(std::string& text);

// Wipes a string when the scope ends, also when an exception leaves it.
class StringWiper final {
public:
    explicit StringWiper(std::string& text) : m_text(text) {}
    ~StringWiper() { wipeString(m_text); }
    StringWiper(const StringWiper&) = delete;
    StringWiper& operator=(const StringWiper&) = delete;

private:
    std::string& m_text;
};

}  // namespace kavren::usecases

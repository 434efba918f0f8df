// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/secretwipe.h"

#include <gtest/gtest.h>

#include <array>

namespace kavren::usecases {
namespace {

TEST(SecretWipe, OverwritesTheWholeCapacityOfAString) {
    std::string secret(64, 'x');
    secret.resize(5);  // the tail still holds earlier characters
    const std::size_t capacity = secret.capacity();
    const char* buffer = secret.data();
    wipeString(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(secret.data(), buffer);  // same buffer, so the bytes checked are the ones wiped
    for (std::size_t i = 0; i < capacity; ++i)
        ASSERT_EQ(buffer[i], '\0') << i;
}

TEST(SecretWipe, StringWiperWipesAlsoWhenAnExceptionLeaves) {
    std::string secret = "a password longer than the short-string buffer";
    try {
        const StringWiper wiper(secret);
        throw 1;
    } catch (int) {
    }
    EXPECT_TRUE(secret.empty());
}

TEST(SecretWipe, ZeroesABuffer) {
    std::array<std::uint8_t, 4> bytes = {1, 2, 3, 4};
    wipeBytes(bytes);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{}));
}

}  // namespace
}  // namespace kavren::usecases

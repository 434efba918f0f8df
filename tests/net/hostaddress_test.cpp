// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "net/idexception.h"
#include "net/idsockethandle.h"
#include "net/idudpclient.h"

namespace kavren::net {
namespace {

TEST(HostAddress, DottedDecimalWithFourPartsOfZeroTo255) {
    std::uint32_t a = 0;
    ASSERT_TRUE(parseDottedQuad("198.18.0.1", a));
    EXPECT_EQ(a, 0xC6120001u);
    ASSERT_TRUE(parseDottedQuad("255.255.255.255", a));
    EXPECT_EQ(a, 0xFFFFFFFFu);
    ASSERT_TRUE(parseDottedQuad("0.0.0.0", a));
    EXPECT_EQ(a, 0u);
    ASSERT_TRUE(parseDottedQuad("010.1.1.1", a));  // decimal, not octal
    EXPECT_EQ(a >> 24, 10u);
}

TEST(HostAddress, AnythingElseIsNoDottedDecimal) {
    std::uint32_t a = 7;
    for (const char* text :
         {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", "256.0.0.1", "1..2.3", " 1.2.3.4", "1.2.3.4 ",
          "1.2.3.-4", "0x1.2.3.4", "1000.1.1.1", "00000001.1.1.1", "a.b.c.d", "1.2.3.4a"}) {
        EXPECT_FALSE(parseDottedQuad(text, a)) << text;
    }
    EXPECT_EQ(a, 7u);  // untouched on failure
}

TEST(HostAddress, DottedTextRoundTrips) {
    EXPECT_EQ(dottedQuad(0xC6130002u), "198.19.0.2");
    EXPECT_EQ(dottedQuad(0u), "0.0.0.0");
}

TEST(HostAddress, LocalhostInAnyCaseIsLoopbackWithoutALookup) {
    EXPECT_EQ(resolveHost("LOCALHOST"), 0x7F000001u);
    EXPECT_EQ(resolveHost("localhost"), 0x7F000001u);
    EXPECT_EQ(resolveHost("LocalHost"), 0x7F000001u);
    EXPECT_EQ(resolveHost("255.255.255.255"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kavren::net

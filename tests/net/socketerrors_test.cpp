// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "net/idexception.h"
#include "net/socketerrors.h"

namespace kavren::net {
namespace {

TEST(SocketErrors, MessageIsNumberThenCarriageReturnLineFeedThenText) {
    EXPECT_EQ(EIdSocketError(10049).message(),
              "Socket Error # 10049\r\nCannot assign requested address.");
    EXPECT_EQ(std::string(EIdSocketError(10051).what()),
              "Socket Error # 10051\r\nNetwork is unreachable.");
    EXPECT_EQ(EIdSocketError(10049).lastError(), 10049);
}

TEST(SocketErrors, TextsKeepTheirExactPunctuation) {
    EXPECT_EQ(socketErrorText(10035), "Operation would block. ");
    EXPECT_EQ(socketErrorText(10066), "Directory not empty");
    EXPECT_EQ(socketErrorText(10047), "Address family not supported by protocol family.");
}

TEST(SocketErrors, UnlistedNumberEndsAfterTheLineFeed) {
    EXPECT_EQ(socketErrorMessage(11001), "Socket Error # 11001\r\n");
    EXPECT_EQ(socketErrorMessage(10067), "Socket Error # 10067\r\n");
    EXPECT_EQ(socketErrorMessage(10003), "Socket Error # 10003\r\n");
}

TEST(SocketErrors, BindInUseHasItsOwnErrorOtherBindFailuresAreSocketErrors) {
    try {
        throwBindError(10048);
        FAIL();
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
    try {
        throwBindError(10049);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.lastError(), 10049);
    }
}

TEST(SocketErrors, SendTooLongHasItsOwnErrorOtherSendFailuresAreSocketErrors) {
    try {
        throwSendError(10040);
        FAIL();
    } catch (const EIdPackageSizeTooBig& e) {
        EXPECT_STREQ(e.what(), "Package Size Too Big.");
    }
    try {
        throwSendError(10051);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.lastError(), 10051);
    }
}

TEST(SocketErrors, EveryErrorIsAnEIdException) {
    EXPECT_THROW(throw EIdInvalidSocket(), EIdException);
    EXPECT_THROW(throw EIdNotAllBytesSent(), EIdException);
    EXPECT_THROW(throw EIdSocketError(10051), EIdException);
    EXPECT_STREQ(EIdInvalidSocket().what(), "Cannot allocate socket.");
    EXPECT_STREQ(EIdNotAllBytesSent().what(), "Not all bytes sent.");
    EXPECT_STREQ(EIdStackInitializationFailed().what(), "Winsock Initialization Error.");
}

}  // namespace
}  // namespace kavren::net

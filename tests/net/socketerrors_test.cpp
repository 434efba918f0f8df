#include <gtest/gtest.h>

#include <cerrno>

#include "net/idexception.h"
#include "net/socketerrors.h"

namespace kavren {
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

TEST(SocketErrors, PosixNumbersBecomeWindowsSocketsNumbers) {
    EXPECT_EQ(winsockNumberFromErrno(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(winsockNumberFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(winsockNumberFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(winsockNumberFromErrno(EACCES), 10013);
    EXPECT_EQ(winsockNumberFromErrno(EPERM), 10013);
    EXPECT_EQ(winsockNumberFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(winsockNumberFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(winsockNumberFromErrno(EAGAIN), 10035);
    EXPECT_EQ(winsockNumberFromErrno(ENOTEMPTY), 10066);
    EXPECT_EQ(winsockNumberFromErrno(EINTR), 10004);
}

TEST(SocketErrors, EveryMappedNumberHasAText) {
    for (int e = 1; e < 200; ++e) {
        const int number = winsockNumberFromErrno(e);
        if (number == e)
            continue;
        EXPECT_FALSE(socketErrorText(number).empty()) << "errno " << e << " -> " << number;
    }
}

TEST(SocketErrors, ErrnoWithoutCounterpartShowsItsOwnNumberAndNoText) {
    EXPECT_EQ(winsockNumberFromErrno(ENOENT), ENOENT);
    EXPECT_EQ(socketErrorMessage(winsockNumberFromErrno(ENOENT)),
              "Socket Error # " + std::to_string(ENOENT) + "\r\n");
}

TEST(SocketErrors, BindInUseHasItsOwnErrorOtherBindFailuresAreSocketErrors) {
    try {
        throwBindError(EADDRINUSE);
        FAIL();
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
    try {
        throwBindError(EADDRNOTAVAIL);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.lastError(), 10049);
    }
}

TEST(SocketErrors, SendTooLongHasItsOwnErrorOtherSendFailuresAreSocketErrors) {
    try {
        throwSendError(EMSGSIZE);
        FAIL();
    } catch (const EIdPackageSizeTooBig& e) {
        EXPECT_STREQ(e.what(), "Package Size Too Big.");
    }
    try {
        throwSendError(ENETUNREACH);
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
}  // namespace kavren

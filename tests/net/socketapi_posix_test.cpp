// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>

#include "net/socketapi_posix.h"
#include "net/socketerrors.h"

// The POSIX socket file reports errno values as the Windows Sockets numbers
// of the same conditions, so the texts are the same everywhere.
namespace kavren::net::socketapi {
namespace {

TEST(PosixSocketErrors, PosixNumbersBecomeWindowsSocketsNumbers) {
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

TEST(PosixSocketErrors, EveryMappedNumberHasAText) {
    for (int e = 1; e < 200; ++e) {
        const int number = winsockNumberFromErrno(e);
        if (number == e)
            continue;
        EXPECT_FALSE(socketErrorText(number).empty()) << "errno " << e << " -> " << number;
    }
}

TEST(PosixSocketErrors, ErrnoWithoutCounterpartShowsItsOwnNumberAndNoText) {
    EXPECT_EQ(winsockNumberFromErrno(ENOENT), ENOENT);
    EXPECT_EQ(socketErrorMessage(winsockNumberFromErrno(ENOENT)),
              "Socket Error # " + std::to_string(ENOENT) + "\r\n");
}

}  // namespace
}  // namespace kavren::net::socketapi

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/apptitle.h"

#include <gtest/gtest.h>

#include "app/errordisplay.h"

namespace kavren::app {
namespace {

TEST(ApplicationTitle, CutsAtTheFirstDotAndLowerCasesAllButTheFirstCharacter) {
    EXPECT_EQ(applicationTitle("Kavren_Utility.exe"), "Kavren_utility");
    EXPECT_EQ(applicationTitle("/usr/local/bin/Kavren_Utility"), "Kavren_utility");
    EXPECT_EQ(applicationTitle("C:\\Program Files\\Kavren\\Kavren_Utility.exe"), "Kavren_utility");
    EXPECT_EQ(applicationTitle("NET.Config.Tool.V2.exe"), "Net");
    EXPECT_EQ(applicationTitle("ABC"), "Abc");
}

TEST(ApplicationTitle, LeavesTheFirstCharacterAndFolderDotsAlone) {
    EXPECT_EQ(applicationTitle("kAVREN.exe"), "kavren");
    // A dot in a folder name does not cut: the folder goes first.
    EXPECT_EQ(applicationTitle("/opt/kavren.v1/Kavren_Utility.bin"), "Kavren_utility");
    EXPECT_EQ(applicationTitle(".hidden"), "");
    EXPECT_EQ(applicationTitle(""), "");
    EXPECT_EQ(applicationTitle("dir/"), "");
    // Bytes beyond ASCII are not letters to lower-case.
    EXPECT_EQ(applicationTitle("X\xC9T.exe"), "X\xC9t");
}

TEST(ErrorDisplayText, AppendsAStopOnlyAfterCharactersAboveTheStop) {
    EXPECT_EQ(errorDisplayText("Socket Error # 10049"), "Socket Error # 10049.");
    EXPECT_EQ(errorDisplayText("Connection refused"), "Connection refused.");
    EXPECT_EQ(errorDisplayText("path/"), "path/.");  // 0x2F is the first above "."
    EXPECT_EQ(errorDisplayText("a:"), "a:.");
    EXPECT_EQ(errorDisplayText("caf\xE9"), "caf\xE9.");  // compared as unsigned bytes
}

TEST(ErrorDisplayText, LeavesStopsAndLowerCharactersUnchanged) {
    EXPECT_EQ(errorDisplayText("Cannot allocate socket."), "Cannot allocate socket.");
    EXPECT_EQ(errorDisplayText("IP address Error !!"), "IP address Error !!");
    EXPECT_EQ(errorDisplayText("(none)"), "(none)");
    EXPECT_EQ(errorDisplayText("trailing "), "trailing ");
    EXPECT_EQ(errorDisplayText("a-"), "a-");
    // A socket error whose number has no text ends in CR LF.
    EXPECT_EQ(errorDisplayText("Socket Error # 1\r\n"), "Socket Error # 1\r\n");
    EXPECT_EQ(errorDisplayText(""), "");
}

}  // namespace
}  // namespace kavren::app

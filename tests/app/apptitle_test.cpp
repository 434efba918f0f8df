// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/apptitle.h"

#include <gtest/gtest.h>

#include "app/errordisplay.h"

namespace kavren::app {
namespace {

TEST(ApplicationTitle, TakesTheFileNameCutAtItsFirstDotWithTheRestLowerCased) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"Kavren_Utility.exe", "Kavren_utility"},
        {"/usr/local/bin/Kavren_Utility", "Kavren_utility"},
        {"C:\\Program Files\\Kavren\\Kavren_Utility.exe", "Kavren_utility"},
        {"NET.Config.Tool.V2.exe", "Net"},
        {"ABC", "Abc"},
        {"kAVREN.exe", "kavren"},  // the first character is left as it is
        // A dot in a folder name does not cut: the folder goes first.
        {"/opt/kavren.v1/Kavren_Utility.bin", "Kavren_utility"},
        {".hidden", ""},
        {"", ""},
        {"dir/", ""},
        // Bytes beyond ASCII are not letters to lower-case.
        {"X\xC9T.exe", "X\xC9t"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(applicationTitle(c.path), c.title) << c.path;
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

# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows cross build needs beyond the toolchain file
# (cmake/toolchains/mingw-w64-x86_64.cmake), included by the top level when
# building for Windows.

# GoogleTest from Debian's source (/usr/src/googletest), built with the
# cross compilers like everything else; the host's libgtest is for Linux.
set(KAVREN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${KAVREN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The source tree names its targets GTest::gtest, GTest::gtest_main, ... as
# the installed package does.

# Listing a test executable's cases at build time would start Wine outside
# the lab. Each executable is one CTest test instead, run through Wine
# (CMAKE_CROSSCOMPILING_EMULATOR) by tools/windows/test.sh inside the lab.
function(gtest_discover_tests target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 300)
endfunction()

# A static Qt links the plugins a program loads at run time into it: the
# Windows platform, the offscreen platform for the tests, and the GIF reader
# for the logo.
function(kavren_import_qt_plugins target)
  if(TARGET Qt6::QWindowsIntegrationPlugin)
    qt_import_plugins(${target}
      INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QOffscreenIntegrationPlugin Qt6::QGifPlugin)
  endif()
endfunction()

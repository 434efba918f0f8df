# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers.
# The -posix variants use winpthreads, which std::thread and Qt's threads need
# (the -win32 variants have no std::thread in this GCC).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_kavren_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_kavren_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_kavren_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_kavren_triple}-windres)
set(CMAKE_AR ${_kavren_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_kavren_triple}-ranlib CACHE FILEPATH "")

# Single-file executables: libstdc++, libgcc and winpthreads linked in, so only
# Windows' own DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

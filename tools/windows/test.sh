#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows stage of the test command: the static Qt for Windows (from the
# cache, or built once), the windows preset's build, and its tests under
# Wine inside the lab (see tests/windows/CMakeLists.txt for the selection).
#
#   tools/windows/test.sh          as root (the lab needs network namespaces)
#   KAVREN_WINDOWS_GUI=ON ...      the default: builds the Qt for Windows when
#                                  it is not cached yet (about 20-40 minutes)
#   KAVREN_WINDOWS_GUI=auto ...    the window tests and kavren.exe only when
#                                  the Qt for Windows is cached; without it
#                                  the core and endpoint tests alone (what
#                                  the whole test command uses, so a fresh
#                                  machine does not spend its time on Qt)
#   KAVREN_WINDOWS_GUI=OFF ...     without Qt: the core, its unit tests and
#                                  the endpoint's lab tests only
set -euo pipefail
cd "$(dirname "$0")/../.."

tools/setup.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 wine dpkg-dev \
  googletest nsis fonts-liberation

gui=${KAVREN_WINDOWS_GUI:-ON}
if [ "$gui" = auto ]; then
  if [ -f "$(tools/windows/build-qt.sh --prefix)/.complete" ]; then
    gui=ON
  else
    gui=OFF
    echo "windows: no cached Qt for Windows; window tests under Wine skipped, run tools/windows/build-qt.sh once"
  fi
fi
start=$SECONDS
if [ "$gui" = ON ]; then
  echo "== windows: Qt for Windows"
  KAVREN_QT_WIN=$(tools/windows/build-qt.sh | tail -n1)
  KAVREN_FACES=$(tools/windows/faces.sh | tail -n1)
  export KAVREN_QT_WIN KAVREN_FACES
  echo "   $KAVREN_QT_WIN ($((SECONDS - start)) s)"
fi

echo "== windows: configure and build"
step=$SECONDS
# Without Qt the preset's QT_HOST_PATH settings go unused; that is expected.
# Both front ends need the Qt for Windows (the command line its Core).
cmake --preset windows --no-warn-unused-cli -DKAVREN_BUILD_GUI="$gui" -DKAVREN_BUILD_CLI="$gui" >/dev/null
cmake --build --preset windows -j "$(nproc 2>/dev/null || echo 2)"
echo "   built in $((SECONDS - step)) s"

echo "== windows: tests under Wine in the lab"
step=$SECONDS
tools/lab/lab.sh run --segments 2 -- tools/windows/wine-lab.sh \
  ctest --test-dir build/windows --output-on-failure --timeout 180 </dev/null
echo "   tests in $((SECONDS - step)) s; whole stage $((SECONDS - start)) s"

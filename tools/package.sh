#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a clean build folder and prints its path.
#
#   tools/package.sh              build/package/kavren_<version>-<release>_<arch>.deb
#   KAVREN_PACKAGE_DIR=DIR tools/package.sh    another build folder (emptied first)
#
# Compiler and linker flags are Debian's own (dpkg-buildflags, with every
# hardening option), the build type "None" so that CMake adds nothing to them,
# and CPack strips the binaries. Only the targets that are installed are
# built, not the tests or benchmarks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KAVREN_PACKAGE_DIR:-$root/build/package}

tools/setup.sh

case "$build" in
"" | / | "$root") echo "package.sh: refusing to empty $build" >&2; exit 2 ;;
esac
rm -rf -- "$build"

# dpkg-buildflags maps the source folder to "." in debug paths, from here.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS" LDFLAGS

# A rebuild from a clean folder is cheap where ccache keeps the objects.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$root
fi

echo "== package: configure and build in $build" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DKAVREN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" \
    --target Kavren_Utility kavren kavren_packaging >&2
echo "== package: cpack" >&2
(cd "$build" && cpack -G DEB >&2)
deb=$(find "$build" -maxdepth 1 -name 'kavren_*.deb' -print -quit)
[ -n "$deb" ] || { echo "package.sh: cpack made no kavren_*.deb" >&2; exit 1; }
echo "$deb"

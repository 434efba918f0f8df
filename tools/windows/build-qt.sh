#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the static Qt for Windows that the Windows executables link against:
# Debian's own qtbase source (the same 6.4.2 as the host's moc/rcc/uic, which
# serve the cross build), cross-compiled with mingw-w64, only the modules and
# plugins the utility needs. Installed into a cache folder named after the Qt
# version and a hash of what goes into the build (see key below), so a second run
# (and every later clone on this machine) finds it at once.
#
#   tools/windows/build-qt.sh            build if missing; prints the prefix
#   tools/windows/build-qt.sh --prefix   only print where it is (or would be)
#
# KAVREN_CACHE chooses the cache root (default /var/cache/kavren, or
# ~/.cache/kavren when that is not writable).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
toolchain=$root/cmake/toolchains/mingw-w64-x86_64.cmake

qt_version=6.4.2
qt_debian_version=6.4.2+dfsg-10
host_qt_prefix=/usr
host_qt_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

configure_options=(
  -xplatform win32-g++
  -device-option CROSS_COMPILE=x86_64-w64-mingw32-
  -release -static -optimize-size
  -nomake tests -nomake examples
  -no-opengl -no-dbus -no-icu -no-glib
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz
  -no-feature-sql -no-feature-network -no-feature-printsupport
  -no-feature-concurrent -no-feature-xml
  # The host's Vulkan headers in /usr/include would otherwise be found and
  # put before mingw-w64's C library headers.
  -no-feature-vulkan
  # Debian's source leaves out src/3rdparty/wintab, which tablet input needs.
  -no-feature-tabletevent
)

cache_root=${KAVREN_CACHE:-/var/cache/kavren}
if ! mkdir -p "$cache_root" 2>/dev/null || [ ! -w "$cache_root" ]; then
  cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/kavren
  mkdir -p "$cache_root"
fi
# The key covers only what changes the installed Qt: the source version, the
# host tools it is configured against, the options, and the toolchain file
# without its comment and blank lines. Edits to this script's comments or
# steps, or a licence line, keep an existing build valid.
key=$( {
  printf '%s\n' "$qt_debian_version" "$host_qt_prefix" "$host_qt_cmake_dir" "${configure_options[@]}"
  grep -Ev '^[[:space:]]*(#|$)' "$toolchain"
} | sha256sum | cut -c1-10)
prefix=$cache_root/qt6-win64-$qt_version-$key

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# One build at a time per cache folder; a second caller waits, then finds it.
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

"$root/tools/setup.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix dpkg-dev ninja-build cmake \
  qt6-base-dev-tools

work=$cache_root/work-qt6-win64-$key
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"

# The source package comes through an apt list of our own (deb-src for the
# machine's suite); the machine's apt configuration stays as it is.
. /etc/os-release
cat >"$work/apt/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian ${VERSION_CODENAME:-bookworm} main
EOF
apt_private=(
  -o Dir::Etc::SourceList="$work/apt/sources.list"
  -o Dir::Etc::SourceParts=/dev/null
  -o Dir::State::Lists="$work/apt/lists"
  -o Dir::Cache="$work/apt/cache"
  -o Debug::NoLocking=1
)
echo "build-qt: fetching qt6-base $qt_debian_version source" >&2
apt-get "${apt_private[@]}" update -qq >&2
(cd "$work/src" && apt-get "${apt_private[@]}" source -qq "qt6-base=$qt_debian_version" >&2)
src=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$src" ] || { echo "build-qt: source not unpacked" >&2; exit 1; }

# The compilers are chosen by a copy of our toolchain file kept beside the
# installed Qt, so the prefix does not point back into a clone.
mkdir -p "$prefix"
cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"

mkdir -p "$work/build"
cd "$work/build"
echo "build-qt: configuring" >&2
start=$SECONDS
"$src/configure" -prefix "$prefix" -qt-host-path "$host_qt_prefix" "${configure_options[@]}" -- \
  -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR="$host_qt_cmake_dir" >"$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "build-qt: building (about 15-20 minutes on 2 cores)" >&2
cmake --build . --parallel "$(nproc 2>/dev/null || echo 2)" >"$work/build.log" 2>&1 ||
  { grep -m5 -B2 -A8 -E 'error|FAILED' "$work/build.log" >&2; exit 1; }
cmake --install . >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }
echo "build-qt: built in $((SECONDS - start)) s" >&2
touch "$prefix/.complete"
cd /
rm -rf "$work"
echo "$prefix"

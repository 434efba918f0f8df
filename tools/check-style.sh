#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The quick first stage of the test command: every C++ file as .clang-format
# lays it out, and clang-tidy's fault-finding checks (.clang-tidy) over the
# toolkit-free layers. Fails on the first finding; prints the files to fix.
#
#   tools/check-style.sh            both checks
#   tools/check-style.sh format     layout only (seconds)
#   tools/check-style.sh --fix      rewrite the layout in place instead
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-all}
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.h.in')

if [ "$mode" = --fix ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi

start=$SECONDS
echo "== style: layout of ${#sources[@]} files"
if ! clang-format --dry-run --Werror "${sources[@]}" 2>/tmp/kavren-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/kavren-format.$$ | cut -d: -f1 | sort -u | sed 's/^/   not laid out: /'
  rm -f /tmp/kavren-format.$$
  echo "style: run tools/check-style.sh --fix" >&2
  exit 1
fi
rm -f /tmp/kavren-format.$$
[ "$mode" = format ] && exit 0

# The layers below the front ends hold the logic that handles what arrives
# from the network; they need neither Qt nor a build, only their compile
# commands. The Windows files are left to the Windows build.
mapfile -t core < <(git ls-files 'protocol/*.cpp' 'net/*.cpp' 'devices/*.cpp' 'usecases/*.cpp' |
  grep -v '_win\.cpp$')
tidy_build=build/tidy
cmake -S . -B "$tidy_build" -G Ninja -DKAVREN_BUILD_GUI=OFF -DKAVREN_BUILD_CLI=OFF \
  -DKAVREN_BUILD_BENCH=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
echo "== style: clang-tidy over ${#core[@]} files of the core"
run-clang-tidy -p "$tidy_build" -quiet -j "$(nproc 2>/dev/null || echo 2)" "${core[@]}" \
  >"$tidy_build/tidy.log" 2>&1 || {
  grep -E '(warning|error):' "$tidy_build/tidy.log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u >&2
  echo "style: clang-tidy found the above" >&2
  exit 1
}
echo "== style: clean ($((SECONDS - start)) s)"

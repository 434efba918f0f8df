#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak runs: the window and the command line for a long while against 1,000
# emulated devices, with a trickle of hostile datagrams (about 1,000 a
# second), sampling memory, descriptors and threads. Each mode runs in a
# throwaway lab of its own (tools/lab/lab.sh), so nothing reaches a real
# network; it needs root (or unprivileged user namespaces).
#
#   tools/soak.sh [--minutes M | --seconds S] [--build DIR] [--no-build] [window|cli|both]
#
# Default: 30 minutes for each mode, both modes one after the other (an
# hour). The test command runs `--seconds 60 both`. Exits 0 when every mode
# passed: see bench/soak_window.cpp and tools/soak/cli_soak.py for what is
# checked.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=1800
build=build/default
do_build=1
mode=both
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) seconds=$(($2 * 60)); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --no-build) do_build=0; shift ;;
    window|cli|both) mode=$1; shift ;;
    *) echo "usage: $0 [--minutes M | --seconds S] [--build DIR] [--no-build] [window|cli|both]" >&2
       exit 2 ;;
  esac
done
# Bounded: an hour at most per mode, and the lab's parts end by themselves.
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 30 ] || [ "$seconds" -gt 3600 ]; then
  echo "soak: the run lasts 30 s to 60 min" >&2
  exit 2
fi

if [ "$do_build" = 1 ]; then
  if [ ! -f "$build/build.ninja" ]; then cmake --preset default >/dev/null; fi
  cmake --build "$build" --target kavren kavren_soak_window
fi

modes=("$mode")
[ "$mode" = both ] && modes=(window cli)
failed=()
for m in "${modes[@]}"; do
  echo "== soak $m: $seconds s"
  started=$(date +%s)
  if ! tools/lab/lab.sh run -- tools/soak/soak_lab.sh "$m" "$seconds" "$(cd "$build" && pwd)"; then
    failed+=("$m")
  fi
  echo "== soak $m: $(( $(date +%s) - started )) s"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "== soak FAILED: ${failed[*]}"
  exit 1
fi
echo "== soak passed: ${modes[*]}"

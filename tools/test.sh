#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and runs every test: the layout and clang-tidy checks, the
# normal build, then the whole suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer, then everything but the window under
# ThreadSanitizer, then short fuzzing runs, then the Debian package (built, linted, and run as an ordinary user in the lab).
# Tests that send datagrams run only inside the lab's network namespaces,
# which needs root (or sudo).
#
#   tools/test.sh                  every stage
#   tools/test.sh default asan     only the named stages (style default asan tsan fuzz package)
#   tools/test.sh windows          the Windows build under Wine in the lab
#                                  (tools/windows/test.sh; not yet a default stage)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(style default asan tsan fuzz package)
jobs=$(nproc 2>/dev/null || echo 2)

# Labs left behind by a killed run would only waste addresses; clear them.
if [ -x tools/lab/lab.sh ]; then tools/lab/lab.sh cleanup >/dev/null 2>&1 || true; fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [ -f tests/sanitizer/lsan.supp ]; then
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0}
fi
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

run_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
}

for stage in "${stages[@]}"; do
  case "$stage" in
    default|asan|tsan) run_preset "$stage" ;;
    fuzz)
      if [ -x tools/fuzz.sh ]; then
        tools/fuzz.sh smoke
      else
        echo "== fuzz: no fuzz targets yet"
      fi
      ;;
    style) tools/check-style.sh ;;
    windows) tools/windows/test.sh ;;
    package) tests/package/package_test.sh ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "== all stages passed: ${stages[*]}"

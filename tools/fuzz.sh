#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs them.
#   tools/fuzz.sh smoke [SECONDS]      every target for a short bounded time (default 15 s each)
#   tools/fuzz.sh run TARGET RUNS      one target for RUNS executions, printing its figures
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-smoke}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)" \
  --target fuzz_reply fuzz_textcodecs fuzz_config_request

targets=(fuzz_reply fuzz_textcodecs fuzz_config_request)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fuzz_one() {
  local target=$1; shift
  # New inputs go to a scratch folder; the seeds in the repository stay as committed.
  mkdir -p "$work/$target"
  "build/fuzz/tests/fuzz/$target" -max_len=4096 -print_final_stats=1 "$@" \
    "$work/$target" "tests/fuzz/corpus/$target"
}

case "$mode" in
  smoke)
    seconds=${2:-15}
    for t in "${targets[@]}"; do
      echo "== fuzz $t for ${seconds}s"
      if ! fuzz_one "$t" -max_total_time="$seconds" >"$work/$t.log" 2>&1; then
        tail -n 40 "$work/$t.log" >&2
        echo "fuzz target $t failed" >&2
        exit 1
      fi
      grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)' "$work/$t.log" || true
    done
    echo "fuzz: 3 passed, 0 failed"
    ;;
  run)
    t=${2:?target}; runs=${3:-10000000}
    if ! fuzz_one "$t" -runs="$runs" >"$work/$t.log" 2>&1; then
      tail -n 40 "$work/$t.log" >&2
      exit 1
    fi
    grep -E 'DONE|^stat::' "$work/$t.log"
    ;;
  *) echo "usage: tools/fuzz.sh smoke [SECONDS] | run TARGET RUNS" >&2; exit 2 ;;
esac

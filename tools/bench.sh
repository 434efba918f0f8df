#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks and runs every one of them inside a throwaway lab,
# then prints one table: each figure beside its target. Needs root (the lab
# and the 64 MiB receive buffers), valgrind for the instruction counts, and
# about four minutes.
#
#   tools/bench.sh                 build in build/bench, run, print the table
#   KAVREN_BENCH_BUILD=dir tools/bench.sh      use another build directory
#   KAVREN_BENCH_ROUNDS=9 tools/bench.sh       more rounds per burst (default 5)
#   KAVREN_BENCH_RAW=file tools/bench.sh       also keep every raw figure (key=value)
#   KAVREN_BENCH_PIN=1 tools/bench.sh          emulator on CPU 0, receivers on CPU 1
#   KAVREN_BENCH_NO_CALLGRIND=1 tools/bench.sh leave out the instruction counts
#   KAVREN_BENCH_STEPS=flood tools/bench.sh    kavren under the flood alone
#   KAVREN_BENCH_STEPS=startup tools/bench.sh  the start-up alone
#   KAVREN_BENCH_KEEP=/tmp/x tools/bench.sh    keep the callgrind files (/tmp/x.*)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KAVREN_BENCH_BUILD:-build/bench}
jobs=${KAVREN_BENCH_JOBS:-2}

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$jobs" --target kavren_window_bench kavren_bare_receiver kavren

raw=$(mktemp /tmp/kavren-bench-XXXXXX)
trap 'if [ -n "${KAVREN_BENCH_RAW:-}" ]; then cp "$raw" "$KAVREN_BENCH_RAW"; fi; rm -f "$raw"' EXIT
load_before=$(uptime | sed 's/.*load average: //')
tools/lab/lab.sh run -- bench/discovery_scale.sh "$build" "$raw"

awk -v load_before="$load_before" -F= '
function median(prefix, key,    n, i, j, v, t) {
  n = 0
  for (k in val) if (index(k, prefix "." key ".") == 1) v[++n] = val[k] + 0
  if (n == 0) return ""
  for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
  return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
function worst(prefix, key, sign,    k, w, x, seen) {
  seen = 0
  for (k in val) if (index(k, prefix "." key ".") == 1) {
    x = val[k] + 0
    if (!seen || x * sign > w * sign) { w = x; seen = 1 }
  }
  return seen ? w : ""
}
function row(what, figure, target, ok) {
  printf "| %-58s | %14s | %-12s | %-4s |\n", what, figure, target, figure == "" ? "n/a" : (ok ? "PASS" : "MISS")
}
{ val[$1] = $2 }
END {
  printf "| %-58s | %14s | %-12s | %-4s |\n", "Figure", "Measured", "Target", ""
  printf "|%s|%s|%s|%s|\n", "------------------------------------------------------------", "----------------", "--------------", "------"
  for (c = 1; c <= 2; c++) {
    n = (c == 1) ? 10000 : 50000
    label = (c == 1) ? "10k" : "50k"
    rows = worst("window" n, "rows", -1)
    row(label ": fewest rows listed (of " n ")", rows, "= " n, rows == n)
    errs = val["nstat" n ".rcvbuf_errors"]
    row(label ": UdpRcvbufErrors over all rounds (nstat)", errs, "0", errs == 0)
    dropped = worst("window" n, "queue_dropped", 1)
    row(label ": replies dropped at the delivery queue", dropped, "0", dropped == 0)
    w = median("window" n, "window_ms"); b = median("bare" n, "bare_ms")
    row(label ": window, first reply to last row (median ms)", w, "", 1)
    row(label ": bare receiver, first to last reply (median ms)", b, "", 1)
    # Each round runs the two back to back; the median of the ratios of
    # the rounds keeps a slow stretch of the machine out of one side only.
    split("", pair)
    for (k in val) if (index(k, "window" n ".window_ms.") == 1) {
      rnd = substr(k, length("window" n ".window_ms.") + 1)
      if (val["bare" n ".bare_ms." rnd] > 0) pair[rnd] = val[k] / val["bare" n ".bare_ms." rnd]
    }
    for (rnd in pair) val["pair" n ".ratio." rnd] = pair[rnd]
    r = median("pair" n, "ratio")
    ratio = (r != "") ? sprintf("%.3f", r) : ""
    row(label ": ratio window / bare receiver (median of rounds)", ratio, "<= 1.1", ratio != "" && ratio <= 1.1)
  }
  m = worst("window50000", "pass_max_ms", 1)
  row("50k: longest event delivery, wall clock (worst round, ms)", m, "<= 16", m != "" && m <= 16)
  p = worst("window50000", "pass_p99_ms", 1)
  row("50k: 99th percentile of deliveries, wall (worst round, ms)", p, "< 8", p != "" && p < 8)
  m = worst("window50000", "pass_cpu_max_ms", 1)
  row("50k: longest event delivery, thread CPU time (ms)", m, "(<= 16)", m != "" && m <= 16)
  p = worst("window50000", "pass_cpu_p99_ms", 1)
  row("50k: 99th percentile, thread CPU time (ms)", p, "(< 8)", p != "" && p < 8)
  k = worst("window50000", "click_ms", 1)
  row("50k: click posted mid-burst answered after (worst, ms)", k, "answered", k != "" && k >= 0)
  q = val["callgrind.replies"]
  s1 = val["callgrind.slices.1000"]; s5 = val["callgrind.slices.50000"]
  row("instr. per reply in delivery slices, 1,000 rows listed", (s1 != "") ? int(s1 / q) : "", "", 1)
  row("instr. per reply in delivery slices, 50,000 rows listed", (s5 != "") ? int(s5 / q) : "", "", 1)
  r = (s1 > 0) ? sprintf("%.3f", s5 / s1) : ""
  row("  ratio 50,000 / 1,000 rows (delivery slices)", r, "<= 1.2", r != "" && r <= 1.2)
  i1 = val["callgrind.ir.1000"]; i5 = val["callgrind.ir.50000"]
  row("instr. per reply, whole UI thread with repaints, 1,000", (i1 != "") ? int(i1 / q) : "", "", 1)
  row("instr. per reply, whole UI thread with repaints, 50,000", (i5 != "") ? int(i5 / q) : "", "", 1)
  r = (i1 > 0) ? sprintf("%.3f", i5 / i1) : ""
  row("  ratio 50,000 / 1,000 rows (whole UI thread)", r, "<= 1.2", r != "" && r <= 1.2)
  rss = median("window50000", "rss_per_device_bytes")
  row("50k: resident memory growth per listed device (bytes)", rss, "<= 400", rss != "" && rss <= 400)
  row("start-up to window shown: real window (median ms)", val["startup.startup_real_ms.1"], "", 1)
  row("start-up to window shown: bare Qt window + table (ms)", val["startup.startup_bare_ms.1"], "", 1)
  s = val["startup.startup_ratio.1"]
  row("start-up ratio real / bare", s, "<= 1.35", s != "" && s <= 1.35)
  sr = val["callgrind.startup.real"]; sb = val["callgrind.startup.bare"]
  row("start-up instructions to first paint: real window", sr, "", 1)
  row("start-up instructions to first paint: bare Qt window", sb, "", 1)
  r = (sb > 0) ? sprintf("%.3f", sr / sb) : ""
  row("  ratio real / bare (instructions)", r, "", 1)
  fd = val["flood.devices"]
  row("kavren: devices listed of 100,000 answering 5 times each", fd, "", 1)
  fm = val["flood.table.peak_rss_mib"]
  row("kavren: peak resident memory under that flood (MiB)", fm, "< 100", fm != "" && fm < 100)
  fj = val["flood.json.peak_rss_mib"]
  row("kavren --json: devices in the array", val["flood.json_devices"], "", 1)
  row("kavren --json: peak resident memory under that flood (MiB)", fj, "< 100", fj != "" && fj < 100)
  cl = val["close.close_ms_max.1"]
  row("close during a 50k burst to process end (worst of 3, ms)", cl, "<= 1500", cl != "" && cl <= 1500)
  printf "\nMachine load (1, 5, 15 min): before %s; at the end %s\n", load_before, val["load"]
  if (val["pinned"] != "") printf "Pinned: %s\n", val["pinned"]
}' "$raw"

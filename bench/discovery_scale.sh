#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every figure of the discovery-at-scale benchmark, measured inside a lab:
#   tools/lab/lab.sh run -- bench/discovery_scale.sh BUILD_DIR OUT_FILE
# (tools/bench.sh builds, runs this and prints the table). It writes
# key=value lines to OUT_FILE. Nothing here may run outside the lab: the
# first thing it does is check that.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
"$KAVREN_LAB_SH" check
export QT_QPA_PLATFORM=offscreen
rounds=${KAVREN_BENCH_ROUNDS:-5}
replies=5000
bin=$build/bench
# KAVREN_BENCH_PIN=1 gives the emulator a core of its own and both
# receivers the other one (devices are other machines). By default the
# scheduler places them: on two cores a single core is too little for the
# window's receive and user-interface threads together.
pin_emulator=
pin_receiver=
if [ "${KAVREN_BENCH_PIN:-0}" != 0 ] && command -v taskset >/dev/null &&
  [ "$(nproc)" -ge 2 ]; then
  pin_emulator="taskset -c 0"
  pin_receiver="taskset -c 1"
fi
device_address=198.18.0.2
# KAVREN_BENCH_STEPS=flood runs kavren's flood alone (a change to kavren's
# memory needs no window rounds), KAVREN_BENCH_STEPS=startup the start-up
# alone, with its instruction counts.
steps=${KAVREN_BENCH_STEPS:-all}
: >"$out"

emit() { echo "$1=$2" >>"$out"; }
log() { echo "[bench] $*" >&2; }

emulator_pid=
start_emulator() {
  local count=$1 ready=$KAVREN_LAB_DIR/ready.$1
  $pin_emulator ip netns exec "$KAVREN_LAB_NODE_A" python3 "$root/tools/emulator/kavren_emulator.py" \
    --generate "$count" --burst --lifetime 600 --ready-file "$ready" \
    2>>"$KAVREN_LAB_DIR/emulator.log" &
  emulator_pid=$!
  for _ in $(seq 300); do [ -f "$ready" ] && return 0; sleep 0.1; done
  echo "emulator for $count devices did not start" >&2
  return 1
}
stop_emulator() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  emulator_pid=
}
trap stop_emulator EXIT

# nstat's absolute counter of the host namespace, as the issue asks.
rcvbuf_errors() { nstat -asz UdpRcvbufErrors 2>/dev/null | awk '/UdpRcvbufErrors/ {print $2; exit}'; }

# One run of a harness; its key=value lines get a prefix and a round number.
run_into() {
  local prefix=$1 round=$2; shift 2
  local lines
  lines=$("$@" 2>>"$KAVREN_LAB_DIR/harness.log") || log "$prefix round $round exited $?"
  while IFS='=' read -r key value; do
    [ -n "$key" ] && emit "${prefix}.${key}.${round}" "$value"
  done <<<"$lines"
}

for count in 10000 50000; do
  [ "$steps" = all ] || break
  log "burst of $count: $rounds rounds of bare receiver and window"
  start_emulator "$count"
  before=$(rcvbuf_errors)
  for round in $(seq "$rounds"); do
    # Alternate who goes first, so a drift of the machine's load hits both.
    if [ $((round % 2)) -eq 1 ]; then
      run_into "bare$count" "$round" $pin_receiver "$bin/kavren_bare_receiver" "$count" "$device_address"
      sleep 0.5
      run_into "window$count" "$round" $pin_receiver "$bin/kavren_window_bench" window "$count"
    else
      run_into "window$count" "$round" $pin_receiver "$bin/kavren_window_bench" window "$count"
      sleep 0.5
      run_into "bare$count" "$round" $pin_receiver "$bin/kavren_bare_receiver" "$count" "$device_address"
    fi
    sleep 0.5
  done
  emit "nstat$count.rcvbuf_errors" $(($(rcvbuf_errors) - before))
  if [ "$count" -eq 50000 ]; then
    log "closing the window during a 50,000-reply burst"
    run_into close 1 $pin_receiver "$bin/kavren_window_bench" close-series 3 "$count"
  fi
  stop_emulator
done

# kavren under a flood: 100,000 devices answering five times each, one
# discovery as a table and one as JSON; peak resident memory must stay
# bounded in both.
flood_devices=100000
flood() {
  local form=$1; shift
  log "kavren discover $form: $flood_devices devices, 5 replies each"
  local ready=$KAVREN_LAB_DIR/ready.flood.$form
  ip netns exec "$KAVREN_LAB_NODE_A" python3 "$root/tools/emulator/kavren_emulator.py" \
    --generate "$flood_devices" --burst --repeat 5 --lifetime 120 --ready-file "$ready" \
    2>>"$KAVREN_LAB_DIR/emulator.log" &
  emulator_pid=$!
  for _ in $(seq 300); do [ -f "$ready" ] && break; sleep 0.1; done
  /usr/bin/time -f %M -o "$KAVREN_LAB_DIR/flood.kib" timeout 60 "$build/cli/kavren" discover \
    --adapter 198.18.0.1 --timeout 20 "$@" >"$KAVREN_LAB_DIR/flood.out" 2>>"$KAVREN_LAB_DIR/harness.log" ||
    log "kavren under the flood exited $?"
  stop_emulator
  emit "flood.$form.peak_rss_mib" "$(awk '{printf "%.1f", $1 / 1024}' "$KAVREN_LAB_DIR/flood.kib")"
}
if [ "$steps" = all ] || [ "$steps" = flood ]; then
  flood table
  emit flood.devices $(($(wc -l <"$KAVREN_LAB_DIR/flood.out") - 1))
  flood json --json
  emit flood.json_devices "$(grep -c '"mac"' "$KAVREN_LAB_DIR/flood.out")"
fi

if [ "$steps" = all ] || [ "$steps" = startup ]; then
  log "start-up: real window against a bare main window with a table view"
  run_into startup 1 "$bin/kavren_window_bench" startup-series 15
  if [ -z "${KAVREN_BENCH_NO_CALLGRIND:-}" ] && command -v valgrind >/dev/null; then
    # Instructions of the whole process (every thread), from its start
    # through the first paint to its exit: the load of the machine does not
    # change them, as it changes the milliseconds above.
    for side in real bare; do
      log "callgrind: start-up of the $side window"
      file=$KAVREN_LAB_DIR/callgrind.startup.$side
      valgrind --tool=callgrind --callgrind-out-file="$file" \
        "$bin/kavren_window_bench" startup-child "$side" >/dev/null 2>"$file.log" || true
      emit "callgrind.startup.$side" "$(awk '/^totals:/ {print $2}' "$file")"
      if [ -n "${KAVREN_BENCH_KEEP:-}" ]; then cp "$file" "$KAVREN_BENCH_KEEP.startup.$side"; fi
    done
  fi
fi
if [ "$steps" != all ]; then
  emit load "$(uptime | sed 's/.*load average: //')"
  exit 0
fi

if [ -z "${KAVREN_BENCH_NO_CALLGRIND:-}" ] && command -v valgrind >/dev/null; then
  # Instructions of the user-interface thread while it handles the replies
  # (all of them queued first): in total, with the repaints between slices,
  # and within the slices alone (handler, row and status announcements).
  emit callgrind.replies "$replies"
  for base in 1000 50000; do
    log "callgrind: $replies replies after $base rows"
    file=$KAVREN_LAB_DIR/callgrind.$base
    valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$file" \
      "$bin/kavren_window_bench" replycost "$base" "$replies" >/dev/null 2>"$file.log" || true
    emit "callgrind.ir.$base" "$(awk '/^totals:/ {print $2}' "$file")"
    if [ -n "${KAVREN_BENCH_KEEP:-}" ]; then cp "$file" "$KAVREN_BENCH_KEEP.replycost.$base"; fi
    emit "callgrind.slices.$base" "$(callgrind_annotate --inclusive=yes "$file" 2>/dev/null |
      awk '/DeviceSession::deliverReplies\(\) \[/ {gsub(",", "", $1); print $1; exit}')"
  done
fi
emit load "$(uptime | sed 's/.*load average: //')"
emit pinned "${pin_emulator:+emulator on CPU 0, receivers on CPU 1}"

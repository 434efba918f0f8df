#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Inside the lab (started by tools/soak.sh through lab.sh run): the hostile
# trickle from device namespace A, and beside it one soak run.
#
#   soak_lab.sh window|cli SECONDS BUILD_DIR
set -euo pipefail
mode=$1 seconds=$2 build=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
devices=${KAVREN_SOAK_DEVICES:-1000}
rate=${KAVREN_SOAK_FLOOD_RATE:-1000}
warmup=$((seconds / 10 > 20 ? seconds / 10 : 20))

"$KAVREN_LAB_SH" check >/dev/null || { echo "soak: not inside the lab" >&2; exit 3; }
work=$(mktemp -d "${KAVREN_LAB_DIR:-/tmp}/soak-XXXXXX")

# The flood knows the devices' MACs (for result messages that name them)
# but sends no device information reply, so every listed row is genuine.
python3 "$root/tools/emulator/kavren_emulator.py" --generate "$devices" --list-devices \
  >"$work/devices.json"
flood_seconds=$((seconds + 60))
ip netns exec "$KAVREN_LAB_NODE_A" python3 "$root/tools/flood.py" --devices "$work/devices.json" \
  --target "$KAVREN_LAB_HOST_A" --rate "$rate" --seconds "$flood_seconds" \
  --count $((rate * flood_seconds)) --no-duplicates --seed 7 >"$work/flood.json" 2>"$work/flood.err" &
flood=$!
stop_flood() {
  if kill -0 "$flood" 2>/dev/null; then kill "$flood" 2>/dev/null || true; fi
  wait "$flood" 2>/dev/null || true
}
trap stop_flood EXIT

status=0
case "$mode" in
  window)
    # The emulator notes each answered discovery on standard error: once a
    # second for the whole run, so those notes are left out.
    QT_QPA_PLATFORM=offscreen "$build/bench/kavren_soak_window" --seconds "$seconds" \
      --devices "$devices" --warmup "$warmup" --sample 5 \
      2> >(grep -v --line-buffered 'answered discovery' >&2) || status=$?
    ;;
  cli)
    python3 "$here/cli_soak.py" --kavren "$build/cli/kavren" \
      --emulator "$root/tools/emulator/kavren_emulator.py" --seconds "$seconds" \
      --devices "$devices" --warmup "$warmup" || status=$?
    ;;
  *) echo "soak: unknown mode $mode" >&2; exit 2 ;;
esac
stop_flood
trap - EXIT
if [ -s "$work/flood.err" ]; then sed 's/^/flood: /' "$work/flood.err" >&2; fi
# The trickle must have run the whole time at about its rate.
python3 - "$work/flood.json" "$seconds" "$rate" <<'PY' || status=1
import json, sys
try:
    with open(sys.argv[1]) as f:
        report = json.loads(f.readline())
except (OSError, ValueError):
    sys.exit("soak: the flood gave no report")
seconds, rate = int(sys.argv[2]), int(sys.argv[3])
per_second = report["sent"] / max(report["seconds"], 1e-3)
print(f"flood: {report['sent']} hostile datagrams in {report['seconds']:.0f} s "
      f"({per_second:.0f}/s), {report['send_errors']} send errors")
if report["seconds"] < seconds or per_second < 0.8 * rate:
    sys.exit("soak: the flood did not keep up its rate for the whole run")
PY
exit "$status"

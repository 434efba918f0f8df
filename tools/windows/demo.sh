#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries Kavren_Utility.exe as a user would, under Wine on a private Xvfb,
# inside the lab against the twenty-three emulated devices of tools/demo.sh:
# presses Refresh, types a new address into a device's row, presses Update
# Device, confirms with the device password, and saves a screenshot after
# each step. Before the window, kavren.exe discover runs in the same lab.
#
#   tools/windows/demo.sh OUTDIR     after tools/windows/build.sh
#
# Writes OUTDIR/1-refresh.png, 2-confirm.png, 3-updated.png and discover.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

die() {
    echo "windows/demo.sh: $*" >&2
    exit 2
}

# --- inside the lab, with Wine's server started here by wine-lab.sh ---
if [ "${1-}" = --inside ]; then
    out=$2
    "$root/tools/lab/lab.sh" check >/dev/null || die "not inside the lab; refusing to start"
    [ -n "${KAVREN_WINE-}" ] || die "run through tools/windows/wine-lab.sh"
    work=$(mktemp -d)
    pids=()
    cleanup() {
        local pid
        for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
        wait 2>/dev/null || true
        rm -rf "$work"
    }
    trap cleanup EXIT
    ip netns exec "$KAVREN_LAB_NODE_A" python3 "$root/tools/emulator/kavren_emulator.py" \
        --devices "$root/tools/demo/devices.json" --jitter-ms 400 --lifetime 300 \
        --ready-file "$work/ready" --log "$work/emulator.jsonl" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$work/ready" ] && break
        sleep 0.1
    done
    [ -e "$work/ready" ] || die "the emulator did not start"

    # The command line first: while the window runs, it holds port 62631.
    "$KAVREN_WINE" "$root/build/windows/dist/kavren.exe" discover --timeout 2 </dev/null |
        tr -d '\r' >"$out/discover.txt"

    "$KAVREN_WINE" "$root/build/windows/dist/Kavren_Utility.exe" &
    pids+=($!)
    window_geometry() {
        xwininfo -name "ORBELUX Trelvio" 2>/dev/null | awk '
            /Window id:/ {id=$4}
            /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
            /Width:/ {w=$NF} /Height:/ {h=$NF}
            END {if (w) print x, y, w, h, id}'
    }
    geometry=
    for _ in $(seq 300); do
        geometry=$(window_geometry) || true
        [ -n "$geometry" ] && break
        sleep 0.1
    done
    [ -n "$geometry" ] || die "the main window did not appear"
    sleep 2
    read -r x y w h _ <<<"$(window_geometry)"
    shot() { import -window root "$out/$1"; }
    click() { python3 "$root/tools/demo/xclick.py" $((x + $1)) $((y + $2)); }
    keys() { python3 "$root/tools/demo/xkeys.py" "$@"; }

    click 256 42 # Refresh
    sleep 2
    shot 1-refresh.png
    click 470 143 # the "IP Address" cell of the second device row
    sleep 0.5
    keys key:F2 key:ctrl+a type:198.18.0.201 key:Return
    sleep 0.5
    click 220 276 # Update Device
    sleep 1.5
    shot 2-confirm.png
    keys type:admin key:Return
    sleep 2
    shot 3-updated.png

    exit 0
fi

# --- outside: a private X server, then the lab ---
[ $# -eq 1 ] || die "usage: tools/windows/demo.sh OUTDIR"
out=$(realpath -m "$1")
mkdir -p "$out"
[ -f "$root/build/windows/dist/Kavren_Utility.exe" ] || die "run tools/windows/build.sh first"
for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "${display-}" ] || die "no free X display number"
# It listens on its unix socket only, which the lab's processes reach.
Xvfb "$display" -nolisten tcp -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
export DISPLAY=$display
unset QT_QPA_PLATFORM
"$root/tools/lab/lab.sh" run -- "$root/tools/windows/wine-lab.sh" "$root/tools/windows/demo.sh" --inside "$out"
ls "$out"

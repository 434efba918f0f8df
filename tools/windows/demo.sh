#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries Kavren_Utility.exe as a user would, under Wine on a private Xvfb,
# inside the lab against the twenty-three emulated devices of tools/demo.sh:
# presses Refresh, types a new address into a device's row, presses Update
# Device, confirms with the device password, opens Update Multi's selection
# dialog, and saves a screenshot after each step. Before the window,
# kavren.exe discover runs in the same lab.
#
#   tools/windows/demo.sh OUTDIR     after tools/windows/build.sh
#
# Writes OUTDIR/1-refresh.png, 2-confirm.png, 3-updated.png, 4-select.png
# and discover.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

die() {
    echo "windows/demo.sh: $*" >&2
    exit 2
}

# --- inside the lab, with Wine's server started here by wine-lab.sh ---
if [ "${1-}" = --inside ]; then
    out=$2
    . "$root/tools/lab/inside.sh"
    . "$root/tools/demo/xdisplay.sh"
    lab_inside "$root"
    [ -n "${KAVREN_WINE-}" ] || die "run through tools/windows/wine-lab.sh"
    lab_emulator "$KAVREN_LAB_NODE_A" emulator --devices "$root/tools/demo/devices.json" \
        --jitter-ms 400 --lifetime 300
    lab_wait_emulators emulator

    # The command line first: while the window runs, it holds port 62631.
    "$KAVREN_WINE" "$root/build/windows/dist/kavren.exe" discover --timeout 2 </dev/null |
        tr -d '\r' >"$out/discover.txt"

    "$KAVREN_WINE" "$root/build/windows/dist/Kavren_Utility.exe" &
    pids+=($!)
    x_wait_window "ORBELUX Trelvio" 300 >/dev/null || die "the main window did not appear"
    sleep 2
    read -r x y w h _ <<<"$(x_window_geometry "ORBELUX Trelvio")"
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
    click 335 276 # Update Multi: the selection dialog, then Esc
    sleep 1.5
    shot 4-select.png
    keys key:Escape
    sleep 0.5

    exit 0
fi

# --- outside: a private X server, then the lab ---
[ $# -eq 1 ] || die "usage: tools/windows/demo.sh OUTDIR"
out=$(realpath -m "$1")
mkdir -p "$out"
[ -f "$root/build/windows/dist/Kavren_Utility.exe" ] || die "run tools/windows/build.sh first"
. "$root/tools/demo/xdisplay.sh"
x_display_start 1280x800 || die "Xvfb did not start"
trap 'kill "$x_display_pid" 2>/dev/null || true' EXIT
unset QT_QPA_PLATFORM
"$root/tools/lab/lab.sh" run -- "$root/tools/windows/wine-lab.sh" "$root/tools/windows/demo.sh" --inside "$out"
ls "$out"

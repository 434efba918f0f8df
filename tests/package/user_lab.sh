#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed programs as an ordinary user, inside the lab: runs under
# "tools/lab/lab.sh run" (root there) and drops to uid/gid 65534 with no
# capabilities, no supplementary groups and no way to gain privileges before
# it starts either program, so whatever works here needs no root.
#
#   lab.sh run -- tests/package/user_lab.sh ROOT [SCREENSHOT.png]
#
# ROOT is a tree the .deb was extracted into (ROOT/usr/bin/kavren ...).
# Checks: kavren discover lists the emulated devices and kavren configure
# gets "Setting OK"; the window holds port 62631, and under Xvfb (when
# installed) lists the devices after a click on Refresh.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
root=$(realpath "$1")
screenshot=${2:+$(realpath -m "$2")}
readonly USER_ID=65534 PASSWORD=admin

fail() {
    echo "user_lab: FAILED: $*" >&2
    exit 1
}
. "$repo/tools/lab/inside.sh"
. "$repo/tools/demo/xdisplay.sh"
lab_inside "$repo"
chmod 0755 "$work"

# The ordinary user gets a home of its own and nothing else.
home=$work/home
mkdir -p "$home"
chown "$USER_ID:$USER_ID" "$home"
as_user() {
    setpriv --reuid=$USER_ID --regid=$USER_ID --clear-groups --inh-caps=-all \
        --bounding-set=-all --no-new-privs -- \
        env -i HOME="$home" PATH=/usr/bin:/bin XDG_STATE_HOME="$home/state" \
        XDG_RUNTIME_DIR="$home" DEVICE_PW=$PASSWORD ${DISPLAY:+DISPLAY=$DISPLAY} \
        QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$@"
}

[ "$(as_user id -u)" = $USER_ID ] || fail "setpriv did not change the user"
caps=$(as_user awk '/^CapEff|^CapPrm|^CapBnd/ {print $2}' /proc/self/status | sort -u)
[ "$caps" = 0000000000000000 ] || fail "the user still has capabilities: $caps"
echo "user_lab: running as uid $USER_ID with no capabilities"

lab_emulator "$KAVREN_LAB_NODE_A" emulator --generate 3 --password $PASSWORD --lifetime 120
lab_wait_emulators emulator

# --- the command line ------------------------------------------------------
found=$(as_user "$root/usr/bin/kavren" discover --csv --timeout 1) ||
    fail "kavren discover failed: $found"
rows=$(grep -c '^02-4B-56-' <<<"$found" || true)
[ "$rows" = 3 ] || fail "kavren discover listed $rows devices, not 3: $found"
echo "user_lab: kavren discover lists the 3 devices"

out=$(as_user "$root/usr/bin/kavren" configure --mac 02-4B-56-00-00-01 --ip 198.18.0.200 \
    --adapter 198.18.0.1 --password-env DEVICE_PW --timeout 1 --verify 2>&1) ||
    fail "kavren configure failed: $out"
grep -q 'acknowledged "Setting OK"' <<<"$out" || fail "no \"Setting OK\": $out"
grep -q 'verified (reports 198.18.0.200)' <<<"$out" || fail "not verified: $out"
[ -s "$home/state/kavren/audit.jsonl" ] || fail "no audit trail in the user's state folder"
echo "user_lab: kavren configure got \"Setting OK\" and the device reports its new address"

# --- the window --------------------------------------------------------------
window_pid() {
    ss -H -ulnp 'sport = :62631' | grep -o 'pid=[0-9]*' | head -n 1 | cut -d= -f2 || true
}
start_window() {
    as_user "$root/usr/bin/Kavren_Utility" >"$work/window.log" 2>&1 &
    pids+=($!)
    local pid=
    for _ in $(seq 100); do
        pid=$(window_pid)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    [ -n "$pid" ] || fail "the window never opened port 62631: $(cat "$work/window.log")"
    [ "$(stat -c %u "/proc/$pid")" = $USER_ID ] || fail "port 62631 is held by another user"
    echo "$pid"
}

if ! command -v Xvfb >/dev/null || [ -z "$screenshot" ]; then
    start_window >/dev/null
    echo "user_lab: the window started offscreen and holds port 62631"
    [ -n "$screenshot" ] && echo "user_lab: SKIPPED the click on Refresh: Xvfb is not installed"
    exit 0
fi

x_display_start 1100x560 140 180 || fail "Xvfb did not start"
pids+=("$x_display_pid")
export QT_QPA_PLATFORM=xcb
before=$(grep -c '"kind":"discovery"' "$work/emulator.jsonl" || true)
start_window >/dev/null
geometry=$(x_wait_window "ORBELUX Trelvio" 100) || fail "the main window did not appear"
read -r x y w h _ <<<"$geometry"
sleep 1
# Refresh sits 8 pixels below the menu bar, 216 from the left (as in
# tools/demo.sh); the three device rows follow the grid's header row.
as_user python3 "$repo/tools/demo/xclick.py" $((x + 256)) $((y + 46))
sleep 1.5
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$screenshot"
discoveries=$(grep -c '"kind":"discovery"' "$work/emulator.jsonl" || true)
[ "$discoveries" -gt "$before" ] || fail "the window's discovery request never reached the devices"
# The three rows below the header row (101 to 119) hold dark text once the
# devices are listed; empty they are white.
ink=$(convert "$screenshot" -crop "$((w - 20))x54+10+119" +repage -colorspace Gray \
    -threshold 50% -negate -format '%[fx:mean*w*h]' info:)
[ "${ink%.*}" -ge 1500 ] || fail "the grid shows no device rows ($ink dark pixels); see $screenshot"
echo "user_lab: the window listed the devices after Refresh ($screenshot)"

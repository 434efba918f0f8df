#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Try the utility without hardware and without touching your network: builds
# it, then starts it inside the lab (tools/lab/lab.sh, network namespaces with
# no way out) against twenty-three emulated devices (tools/demo/devices.json).
#
#   tools/demo.sh                     on your display; press Refresh
#   tools/demo.sh --screenshot FILE   under Xvfb: presses Refresh, selects a
#                                     cell and saves the main window as FILE
#     --size WxH                      first makes the window that large
#     --find TEXT                     then presses Ctrl+F and types TEXT
#
# KAVREN_BUILD_DIR picks another build directory (default: build/default,
# the "default" CMake preset).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KAVREN_BUILD_DIR:-$root/build/default}
exe=$build/app/Kavren_Utility
devices=$root/tools/demo/devices.json

die() {
    echo "demo.sh: $*" >&2
    exit 2
}

screenshot=
size=
find=
inside=0
while [ $# -gt 0 ]; do
    case "$1" in
    --screenshot)
        [ $# -ge 2 ] || die "--screenshot needs a file name"
        screenshot=$(realpath -m "$2")
        shift 2
        ;;
    --size)
        [ $# -ge 2 ] && [[ "$2" =~ ^[0-9]+x[0-9]+$ ]] || die "--size needs WIDTHxHEIGHT"
        size=$2
        shift 2
        ;;
    --find)
        [ $# -ge 2 ] || die "--find needs a text"
        find=$2
        shift 2
        ;;
    --inside) inside=1; shift ;;  # internal: the part that runs in the lab
    *) die "unknown option $1 (see the top of this script)" ;;
    esac
done

# --- inside the lab: the emulator in device namespace A, the utility here ---
if [ "$inside" = 1 ]; then
    . "$root/tools/lab/inside.sh"
    lab_inside "$root"
    # Replies are spread over 400 ms, as real devices answer.
    ip netns exec "$KAVREN_LAB_NODE_A" python3 "$root/tools/emulator/kavren_emulator.py" \
        --devices "$devices" --jitter-ms 400 --lifetime 3600 \
        --ready-file "$work/ready" --log "$work/emulator.jsonl" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$work/ready" ] && break
        sleep 0.1
    done
    [ -e "$work/ready" ] || die "the emulator did not start"

    if [ -z "$screenshot" ]; then
        echo "demo: twenty-three emulated devices are waiting; press Refresh."
        "$exe"
        exit 0
    fi

    "$exe" &
    app=$!
    pids+=("$app")
    window_geometry() {
        xwininfo -name "ORBELUX Trelvio" 2>/dev/null | awk '
            /Window id:/ {id=$4}
            /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
            /Width:/ {w=$NF} /Height:/ {h=$NF}
            END {if (w) print x, y, w, h, id}'
    }
    geometry=
    for _ in $(seq 100); do
        geometry=$(window_geometry) || true
        [ -n "$geometry" ] && break
        sleep 0.1
    done
    [ -n "$geometry" ] || die "the main window did not appear"
    read -r x y w h id <<<"$geometry"
    sleep 1
    if [ -n "$size" ]; then
        python3 "$root/tools/demo/xkeys.py" "resize:$id:${size%x*}:${size#*x}"
        sleep 0.7
        read -r x y w h id <<<"$(window_geometry)"
    fi
    # Refresh sits 8 pixels below the menu bar, 216 from the left; then a
    # click into the "IP Address" cell of the second device row.
    python3 "$root/tools/demo/xclick.py" $((x + 256)) $((y + 46))
    sleep 1.5
    python3 "$root/tools/demo/xclick.py" $((x + 470)) $((y + 101 + 18 + 18 + 9))
    sleep 0.7
    if [ -n "$find" ]; then
        python3 "$root/tools/demo/xkeys.py" key:ctrl+f "type:$find"
        sleep 0.7
    fi
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$screenshot"
    echo "demo: saved $screenshot"
    exit 0
fi

# --- outside: build, find a display, enter the lab ---
"$root/tools/setup.sh"
if [ "$build" = "$root/build/default" ]; then
    (cd "$root" && cmake --preset default >/dev/null)
elif [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target Kavren_Utility

xvfb=
if [ -n "$screenshot" ]; then
    # A private X server; it listens on its unix socket only.
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    [ -n "${display-}" ] || die "no free X display number"
    Xvfb "$display" -nolisten tcp -screen 0 1400x900x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${display#:}" ] && break
        sleep 0.1
    done
    export DISPLAY=$display
    # Offscreen Qt would draw nothing to grab.
    unset QT_QPA_PLATFORM
else
    [ -n "${DISPLAY-}" ] || die "no DISPLAY; try --screenshot FILE to run under Xvfb"
    # The lab has a network of its own: only a local display (unix socket)
    # can be reached from inside it, not one forwarded over TCP.
    case "$DISPLAY" in
    :* | unix:*) ;;
    *) die "DISPLAY=$DISPLAY is reached over TCP, which the lab cannot; use a local display or --screenshot" ;;
    esac
fi

args=(--inside)
[ -n "$screenshot" ] && args+=(--screenshot "$screenshot")
[ -n "$size" ] && args+=(--size "$size")
[ -n "$find" ] && args+=(--find "$find")
KAVREN_BUILD_DIR=$build "$root/tools/lab/lab.sh" run -- "$root/tools/demo.sh" "${args[@]}"

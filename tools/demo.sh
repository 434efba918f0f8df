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
#   tools/demo.sh --results FILE      under Xvfb: twelve devices out of the box
#                                     on one address (tools/demo/factory.json)
#                                     numbered by Fill Addresses, updated with
#                                     one password and verified; saves the
#                                     Update Results window as FILE
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
results=
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
    --results)
        [ $# -ge 2 ] || die "--results needs a file name"
        screenshot=$(realpath -m "$2")
        results=1
        devices=$root/tools/demo/factory.json
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
    . "$root/tools/demo/xdisplay.sh"
    lab_inside "$root"
    # Replies are spread over 400 ms, as real devices answer.
    lab_emulator "$KAVREN_LAB_NODE_A" emulator --devices "$devices" --jitter-ms 400 \
        --lifetime 3600
    lab_wait_emulators emulator

    if [ -z "$screenshot" ]; then
        echo "demo: twenty-three emulated devices are waiting; press Refresh."
        "$exe"
        exit 0
    fi

    if [ -n "$results" ]; then
        # The window's choices and the audit trail in a folder of the run's
        # own, never the user's; Verify After Update starts ticked.
        state=$(mktemp -d)
        export XDG_CONFIG_HOME=$state/config XDG_STATE_HOME=$state/state
        mkdir -p "$XDG_CONFIG_HOME/kavren"
        printf '[General]\nVerifyAfterUpdate=true\n' >"$XDG_CONFIG_HOME/kavren/window.conf"
    fi
    "$exe" &
    pids+=($!)
    geometry=$(x_wait_window "ORBELUX Trelvio" 100) || die "the main window did not appear"
    read -r x y w h id <<<"$geometry"
    sleep 1
    if [ -n "$results" ]; then
        keys="$root/tools/demo/xkeys.py"
        python3 "$root/tools/demo/xclick.py" $((x + 256)) $((y + 46))  # Refresh
        sleep 1.5
        # The IP Address cells of the twelve rows, then Fill Addresses.
        python3 "$root/tools/demo/xclick.py" $((x + 470)) $((y + 101 + 18 + 9))
        sleep 0.5
        down=()
        for _ in $(seq 11); do down+=(key:shift+Down); done
        python3 "$keys" "${down[@]}" key:ctrl+shift+a
        sleep 0.7
        python3 "$keys" type:198.18.0.140 key:Return
        sleep 0.7
        # Update All, 8 pixels below the grid and 392 from the left: the
        # password once, ticked for the remaining devices (three tabs on).
        python3 "$root/tools/demo/xclick.py" $((x + 437)) $((y + 21 + 258))
        sleep 1
        python3 "$keys" type:admin key:Tab key:Tab key:Tab key:space key:Return
        # The answers and the verifications, each within 3 seconds.
        sleep 6
        # The grid's own keys want the focus in the grid.
        python3 "$root/tools/demo/xclick.py" $((x + 470)) $((y + 101 + 18 + 9))
        python3 "$keys" key:ctrl+shift+R
        geometry=$(x_wait_window "Update Results" 50) || die "Update Results did not appear"
        read -r x y w h id <<<"$geometry"
        python3 "$keys" "resize:$id:$w:$((h + 200))"
        sleep 0.7
        read -r x y w h id <<<"$(x_window_geometry "Update Results")"
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$screenshot"
        echo "demo: saved $screenshot"
        exit 0
    fi
    if [ -n "$size" ]; then
        python3 "$root/tools/demo/xkeys.py" "resize:$id:${size%x*}:${size#*x}"
        sleep 0.7
        read -r x y w h id <<<"$(x_window_geometry "ORBELUX Trelvio")"
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

if [ -n "$screenshot" ]; then
    . "$root/tools/demo/xdisplay.sh"
    x_display_start 1400x900 || die "Xvfb did not start"
    trap 'kill "$x_display_pid" 2>/dev/null || true' EXIT
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
if [ -n "$results" ]; then
    args+=(--results "$screenshot")
elif [ -n "$screenshot" ]; then
    args+=(--screenshot "$screenshot")
fi
[ -n "$size" ] && args+=(--size "$size")
[ -n "$find" ] && args+=(--find "$find")
KAVREN_BUILD_DIR=$build "$root/tools/lab/lab.sh" run -- "$root/tools/demo.sh" "${args[@]}"

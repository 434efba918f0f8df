# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that drive the window under a private X server
# (tools/demo.sh, tools/windows/demo.sh, tests/package/user_lab.sh).

# x_display_start WIDTHxHEIGHT [FIRST LAST] starts Xvfb on the first free
# display number from FIRST to LAST (default 90 to 130), waits for its
# socket and exports DISPLAY; its process id is left in $x_display_pid for
# the caller to stop. It listens on its unix socket only, which processes in
# the lab's namespaces reach as well.
x_display_start() {
  local size=$1 first=${2:-90} last=${3:-130} n display=
  for n in $(seq "$first" "$last"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  if [ -z "$display" ]; then
    echo "no free X display number from $first to $last" >&2
    return 1
  fi
  Xvfb "$display" -nolisten tcp -screen 0 "${size}x24" >/dev/null 2>&1 &
  x_display_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
  done
  export DISPLAY=$display
}

# x_window_geometry TITLE prints "X Y WIDTH HEIGHT ID" of the window with
# that title, or nothing while there is none.
x_window_geometry() {
  xwininfo -name "$1" 2>/dev/null | awk '
    /Window id:/ {id=$4}
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF}
    END {if (w) print x, y, w, h, id}'
}

# x_wait_window TITLE TENTHS waits up to TENTHS tenths of a second for the
# window and prints its geometry; fails when it does not appear.
x_wait_window() {
  local geometry=
  for _ in $(seq "$2"); do
    geometry=$(x_window_geometry "$1") || true
    [ -n "$geometry" ] && { echo "$geometry"; return 0; }
    sleep 0.1
  done
  return 1
}

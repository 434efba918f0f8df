# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts whose second half runs inside the lab (tools/demo.sh,
# tools/windows/demo.sh, tools/windows/cli_lab.sh, tests/package/user_lab.sh).
#
# lab_inside ROOT refuses unless this shell is in a lab of tools/lab/lab.sh
# with a device namespace, then gives a work folder ($work) and a list
# ($pids) of started processes, all stopped and removed on exit.
lab_inside() {
  lab_root=$1
  if ! "$lab_root/tools/lab/lab.sh" check >/dev/null; then
    echo "not inside the lab; refusing to start anything" >&2
    exit 1
  fi
  if [ -z "${KAVREN_LAB_NODE_A-}" ]; then
    echo "the lab did not name its device namespace" >&2
    exit 1
  fi
  work=$(mktemp -d)
  pids=()
  trap lab_inside_cleanup EXIT
}

lab_inside_cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# lab_emulator NODE NAME [OPTION...] starts the device emulator in the device
# namespace NODE with the options given (a --lifetime among them, so that it
# ends by itself), its ready file $work/NAME.ready and its log
# $work/NAME.jsonl.
lab_emulator() {
  local node=$1 name=$2
  shift 2
  ip netns exec "$node" python3 "$lab_root/tools/emulator/kavren_emulator.py" \
    --ready-file "$work/$name.ready" --log "$work/$name.jsonl" "$@" &
  pids+=($!)
}

# lab_wait_emulators NAME... waits up to ten seconds until each of them is
# ready, and ends the script when one is not.
lab_wait_emulators() {
  local name waiting
  for _ in $(seq 100); do
    waiting=
    for name; do [ -e "$work/$name.ready" ] || waiting=$name; done
    [ -z "$waiting" ] && return 0
    sleep 0.1
  done
  echo "the emulator $waiting did not start" >&2
  exit 1
}

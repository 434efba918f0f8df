# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts whose second half runs inside the lab (tools/demo.sh,
# tests/package/user_lab.sh). lab_inside ROOT refuses unless this shell is in
# a lab of tools/lab/lab.sh with a device namespace, then gives a work folder
# ($work) and a list ($pids) of started processes, all stopped and removed
# on exit.
lab_inside() {
  local root=$1
  if ! "$root/tools/lab/lab.sh" check >/dev/null; then
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

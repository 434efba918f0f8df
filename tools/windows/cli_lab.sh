#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kavren.exe end to end under Wine: three emulated devices on segment A and
# one on segment B, found by `kavren.exe discover` on both adapters, then one
# of them reconfigured and verified. The emulator runs natively in the lab's
# device namespaces (a Windows program cannot enter a namespace), so this
# covers what the Linux build's command-line lab scenarios cover: Winsock
# sends and receives, the adapter list from IP Helper, and the replies.
#
#   tools/lab/lab.sh run --segments 2 -- tools/windows/wine-lab.sh \
#       tools/windows/cli_lab.sh path/to/kavren.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=${1:?usage: cli_lab.sh KAVREN_EXE}

fail() {
    echo "cli_lab.sh: $*" >&2
    exit 1
}
. "$root/tools/lab/inside.sh"
lab_inside "$root"
[ -n "${KAVREN_WINE-}" ] && [ -n "${KAVREN_WINE_LAB_NETNS-}" ] ||
    fail "run through tools/windows/wine-lab.sh, which starts Wine's server in the lab"
[ -n "${KAVREN_LAB_NODE_B-}" ] || fail "needs a lab with two segments"

lab_emulator "$KAVREN_LAB_NODE_A" a --lifetime 60 --generate 3
# Generated devices on B would repeat A's MAC addresses, and a MAC is
# listed once; B's device has one of its own.
cat >"$work/b.json" <<'JSON'
{"devices": [{"mac": "02:BB:00:00:00:01", "ip": "198.19.0.140", "netmask": "255.255.255.0",
  "gateway": "0.0.0.0", "name": "OnB", "version": "v2", "description": "b-side",
  "password": "admin"}]}
JSON
lab_emulator "$KAVREN_LAB_NODE_B" b --lifetime 60 --devices "$work/b.json"
lab_wait_emulators a b

# found_via and sender are the last two columns. Wine writes the console's
# line ends as CR LF.
"$KAVREN_WINE" "$exe" discover --csv --timeout 2 </dev/null | tr -d '\r' >"$work/found.csv" ||
    fail "discover failed: $(cat "$work/found.csv")"
cat "$work/found.csv"
for mac in 02-4B-56-00-00-00 02-4B-56-00-00-01 02-4B-56-00-00-02; do
    grep -Eq "^$mac,.*,198\.18\.0\.1,[0-9.]+\$" "$work/found.csv" || fail "$mac not found via 198.18.0.1"
done
grep -Eq '^02-BB-00-00-00-01,OnB,.*,198\.19\.0\.1,198\.19\.0\.140$' "$work/found.csv" ||
    fail "segment B's device not found via 198.19.0.1"
[ "$(grep -c . "$work/found.csv")" -eq 5 ] || fail "not exactly four devices and the header"

export DEVICE_PW=admin
"$KAVREN_WINE" "$exe" configure --mac 02-4B-56-00-00-01 --ip 198.18.0.200 --adapter 198.18.0.1 \
    --password-env DEVICE_PW --verify </dev/null | tr -d '\r' >"$work/configure.txt" ||
    fail "configure failed: $(cat "$work/configure.txt")"
cat "$work/configure.txt"
grep -q '1 verified' "$work/configure.txt" || fail "the update was not verified"
echo "cli_lab.sh: kavren.exe found 4 devices on two adapters and updated one"

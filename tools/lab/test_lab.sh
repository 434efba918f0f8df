#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Self-test of lab.sh: topology, exit status, teardown on every exit path.
# Every datagram it sends stays inside the labs it creates.
set -uo pipefail
LAB=${1:-$(dirname "$(readlink -f "$0")")/lab.sh}
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The exit status of the command is the lab's; its environment names the lab.
"$LAB" run --segments 2 -- sh -c 'env | grep ^KAVREN_LAB >"$0"; exit 7' "$work/env"
[ $? = 7 ] || fail "run did not pass on the command's exit status"
grep -q '^KAVREN_LAB=1$' "$work/env" || fail "KAVREN_LAB missing"
grep -q '^KAVREN_LAB_HOST_B=198.19.0.1$' "$work/env" || fail "KAVREN_LAB_HOST_B missing"
dir=$(sed -n 's/^KAVREN_LAB_DIR=//p' "$work/env")
node=$(sed -n 's/^KAVREN_LAB_NODE_A=//p' "$work/env")
[ -n "$dir" ] && [ ! -e "$dir" ] || fail "lab directory $dir left behind"
[ -n "$node" ] || fail "KAVREN_LAB_NODE_A missing"
if ip netns list 2>/dev/null | grep -q "^$node"; then fail "namespace $node visible outside"; fi

# Inside: the guard agrees, no route leads out, unicast to any pool address
# reaches a socket on 0.0.0.0 in device namespace A (and B), nothing else.
"$LAB" run --segments 2 -- sh -c '
  set -e
  "$KAVREN_LAB_SH" check >/dev/null
  [ -z "$(ip route show default)" ]
  for seg in A:198.18.0 B:198.19.0; do
    node=$(eval echo \$KAVREN_LAB_NODE_${seg%%:*}); net=${seg#*:}
    ip netns exec "$node" python3 -c "
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((\"0.0.0.0\", 62630)); s.settimeout(3)
open(sys.argv[1], \"w\").close()
got = sorted(s.recvfrom(64)[0] for _ in range(3))
sys.exit(0 if got == [b\"128\", b\"200\", b\"254\"] else 1)" "$KAVREN_LAB_DIR/ready" &
    rx=$!
    for i in $(seq 100); do [ -e "$KAVREN_LAB_DIR/ready" ] && break; sleep 0.02; done
    python3 -c "
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for host in (\"128\", \"200\", \"254\"):
    s.sendto(host.encode(), (sys.argv[1] + \".\" + host, 62630))
try:
    s.sendto(b\"x\", (\"192.0.2.1\", 62630)); sys.exit(3)
except OSError:
    pass" "$net"
    wait $rx
    rm -f "$KAVREN_LAB_DIR/ready"
  done' || fail "topology check inside the lab failed"

# SIGTERM and SIGINT: the lab goes, the status tells the signal.
for sig in TERM INT; do
    # A background job of a script starts with SIGINT ignored; undo that.
    env --default-signal=INT "$LAB" run -- sh -c 'echo "$KAVREN_LAB_DIR" >"$0"; sleep 20' "$work/dir.$sig" &
    pid=$!
    for i in $(seq 100); do [ -s "$work/dir.$sig" ] && break; sleep 0.02; done
    kill -"$sig" "$pid"
    wait "$pid"
    status=$?
    [ $status -ge 128 ] || fail "SIG$sig: status $status"
    [ ! -e "$(cat "$work/dir.$sig")" ] || fail "SIG$sig: lab directory left behind"
done

# SIGKILL cannot be trapped; the kernel removes the namespaces with the last
# process, nothing of the lab is named outside it, and "cleanup" removes the
# directory that the killed script could not.
before=$(ip netns list 2>/dev/null | wc -l)
"$LAB" run -- sh -c 'echo "$$ $KAVREN_LAB_DIR" >"$0"; exec sleep 20' "$work/killed" &
pid=$!
for i in $(seq 100); do [ -s "$work/killed" ] && break; sleep 0.02; done
kill -KILL "$pid"
wait "$pid" 2>/dev/null
read -r orphan dir <"$work/killed"
kill "$orphan" 2>/dev/null
after=$(ip netns list 2>/dev/null | wc -l)
[ "$before" = "$after" ] || fail "SIGKILL left a named namespace behind"
"$LAB" cleanup >/dev/null 2>&1
[ ! -e "$dir" ] || fail "cleanup left the killed lab's directory $dir"

# Bad usage is refused before anything is built.
"$LAB" run --segments 3 -- true 2>/dev/null && fail "--segments 3 accepted"
"$LAB" run 2>/dev/null && fail "run without a command accepted"

if [ $failures -eq 0 ]; then
    echo "lab.sh: all checks passed"
fi
exit $((failures > 0))

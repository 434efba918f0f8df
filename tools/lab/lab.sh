#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The isolated test lab: network namespaces joined by veth pairs, with no
# route that could lead a datagram out of the lab.
#
#   lab.sh run  [--segments 1|2] -- CMD ARGS...   throwaway lab, CMD in its host namespace
#   lab.sh test [--segments 1|2] -- EXE ARGS...   CTest launcher (listing runs without a lab)
#   lab.sh up ID [--segments 1|2]                 persistent lab (root only)
#   lab.sh down ID
#   lab.sh exec ID host|a|b -- CMD ARGS...
#   lab.sh cleanup                                removes persistent labs whose creator died
#   lab.sh check                                  says whether this shell is inside a lab
#
# Topology: host namespace with kva0 198.18.0.1/24 (and kvb0 198.19.0.1/24);
# device namespace A with kva1 198.18.0.2/24 and every address of
# 198.18.0.128/25 local on lo, so one emulator socket on 0.0.0.0 receives
# unicast for every emulated device and the kernel answers ARP for all of
# them (the same for B on 198.19.0.0/24). No namespace gets a default route.
#
# "run" builds the lab inside a fresh network and mount namespace of its own
# (a user namespace too when started by an ordinary user). That namespace is
# the lab's host namespace, and the device namespaces are named only inside
# its private mount table, so the kernel takes the whole lab down with the
# last process even when this script is killed with SIGKILL.
set -euo pipefail

LAB_SH=$(readlink -f "${BASH_SOURCE[0]}")
readonly LAB_SH
readonly POOL_A=198.18.0.128/25 POOL_B=198.19.0.128/25
readonly STATE_ROOT=/run/kavren-lab
# A burst of 50,000 replies needs far more than the default socket buffers.
readonly BUFFER_MAX=67108864

die() {
    echo "lab.sh: $*" >&2
    exit 2
}

usage() {
    sed -n '2,12p' "$LAB_SH" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

netns_id() { readlink /proc/self/ns/net; }

# Only per-namespace sysctls are visible inside a child network namespace,
# so writing one there can never change the machine's own settings. The
# caller has already checked that it is not in the namespace it started in.
set_ns_sysctl() {
    local file=/proc/sys/$1
    [ -w "$file" ] && echo "$2" >"$file" 2>/dev/null || true
}

# Everything a namespace of the lab needs before any link comes up.
prepare_ns() {
    ip link set lo up
    set_ns_sysctl net/ipv6/conf/all/disable_ipv6 1
    set_ns_sysctl net/ipv6/conf/default/disable_ipv6 1
    set_ns_sysctl net/core/rmem_max $BUFFER_MAX
    set_ns_sysctl net/core/wmem_max $BUFFER_MAX
}

# Refuses to go on when a namespace has any route that is not on one of its
# own links: the lab must have no way out.
assert_no_way_out() {
    local routes
    routes=$(ip -4 route show table all 2>/dev/null |
        grep -Ev '^(local|broadcast|multicast) |scope (link|host)' || true)
    [ -z "$routes" ] || die "unexpected route in lab namespace: $routes"
    if ip -o link show | grep -Ev ': (lo|kv[a-z][0-9]*[01])[@:]' | grep -q .; then
        die "foreign interface in lab namespace: $(ip -o link show | cut -d: -f2 | tr '\n' ' ')"
    fi
}

# prepare_ns and assert_no_way_out in the named namespace.
prepare_node() {
    ip netns exec "$1" bash -c "$(declare -f set_ns_sysctl prepare_ns); BUFFER_MAX=$BUFFER_MAX; prepare_ns"
}
check_node() {
    ip netns exec "$1" bash -c "$(declare -f die assert_no_way_out); assert_no_way_out"
}

# $1 netns runner prefix for the host side ("" or "ip netns exec NAME"),
# $2 device netns name, $3 segment letter, $4 third-octet prefix, $5 pool
# (empty for a link without devices).
build_segment() {
    local host_run=$1 node=$2 seg=$3 net=$4 pool=$5
    $host_run ip link add "kv${seg}0" type veth peer name "kv${seg}1" netns "$node"
    $host_run ip addr add "${net}.1/24" dev "kv${seg}0"
    $host_run ip link set "kv${seg}0" up
    ip netns exec "$node" ip addr add "${net}.2/24" dev "kv${seg}1"
    ip netns exec "$node" ip link set "kv${seg}1" up
    [ -z "$pool" ] || ip netns exec "$node" ip route add local "$pool" dev lo
}

# $1 id, $2 segments, $3 host runner prefix, $4 host netns label.
build_lab() {
    local id=$1 segments=$2 host_run=$3
    $host_run bash -c "$(declare -f set_ns_sysctl prepare_ns); BUFFER_MAX=$BUFFER_MAX; prepare_ns"
    ip netns add "kvl${id}a"
    prepare_node "kvl${id}a"
    build_segment "$host_run" "kvl${id}a" a 198.18.0 $POOL_A
    if [ "$segments" = 2 ]; then
        ip netns add "kvl${id}b"
        prepare_node "kvl${id}b"
        build_segment "$host_run" "kvl${id}b" b 198.19.0 $POOL_B
    fi
    local -a nodes=("kvl${id}a")
    [ "$segments" = 2 ] && nodes+=("kvl${id}b")
    local ns
    for ns in "${nodes[@]}"; do
        check_node "$ns"
    done
    $host_run bash -c "$(declare -f die assert_no_way_out); assert_no_way_out"
}

# Ends the processes still running in the named namespaces (only processes of
# this lab can be there), then removes the names.
remove_nodes() {
    local ns pid
    for ns in "$@"; do
        [ -e "/run/netns/$ns" ] || continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -TERM "$pid" 2>/dev/null || true
        done
    done
    for ns in "$@"; do
        [ -e "/run/netns/$ns" ] || continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -KILL "$pid" 2>/dev/null || true
        done
        ip netns del "$ns" 2>/dev/null || true
    done
}

# Signals every process of the calling network namespace except this script.
# Inside "run" that namespace is the lab's own, so only the command's
# processes are there.
end_ns_processes() {
    local self proc pid
    self=$(netns_id)
    [ "$self" != "${KAVREN_LAB_OUTER_NETNS:-}" ] || return 0
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] || continue
        [ "$(readlink "$proc/ns/net" 2>/dev/null)" = "$self" ] || continue
        kill -"$1" "$pid" 2>/dev/null || true
    done
}

lab_env() {
    local id=$1 segments=$2
    export KAVREN_LAB=1 KAVREN_LAB_ID=$id KAVREN_LAB_SH=$LAB_SH
    export KAVREN_LAB_HOST_A=198.18.0.1 KAVREN_LAB_NODE_A="kvl${id}a"
    if [ "$segments" = 2 ]; then
        export KAVREN_LAB_HOST_B=198.19.0.1 KAVREN_LAB_NODE_B="kvl${id}b"
    else
        unset KAVREN_LAB_HOST_B KAVREN_LAB_NODE_B
    fi
}

parse_segments() {
    case "$1" in
    1 | 2) echo "$1" ;;
    *) die "--segments takes 1 or 2, not '$1'" ;;
    esac
}

new_id() { printf '%x%04x' "$$" "$((RANDOM % 65536))"; }

cmd_run() {
    local segments=1
    while [ $# -gt 0 ]; do
        case "$1" in
        --segments) segments=$(parse_segments "${2-}"); shift 2 ;;
        --) shift; break ;;
        *) die "run: unknown option '$1' (the command follows --)" ;;
        esac
    done
    [ $# -gt 0 ] || die "run: no command given after --"
    local -a ns_args=(--net --mount --propagation private)
    if [ "$(id -u)" -ne 0 ]; then
        ns_args=(--user --map-root-user "${ns_args[@]}")
    fi
    export KAVREN_LAB_OUTER_NETNS
    KAVREN_LAB_OUTER_NETNS=$(netns_id)
    # unshare execs without forking, so signals sent to this process reach
    # the inner script, which owns the cleanup.
    exec unshare "${ns_args[@]}" -- "$LAB_SH" __inner "$segments" "$(new_id)" "$@" ||
        die "cannot create namespaces (needs root, or unprivileged user namespaces)"
}

cmd_inner() {
    local segments=$1 id=$2
    shift 2
    [ "$(netns_id)" != "${KAVREN_LAB_OUTER_NETNS:-}" ] ||
        die "internal: still in the caller's network namespace"
    # Device namespaces are named in a private /run/netns of this mount
    # namespace only: no name is left behind on the machine, whatever happens.
    if mkdir -p /run/netns 2>/dev/null; then
        mount -t tmpfs -o mode=0755,size=1m kavrenlab /run/netns
    else
        mount -t tmpfs -o mode=0755,size=4m kavrenlab /run
        mkdir -p /run/netns
    fi

    local dir child status=0
    dir=$(mktemp -d "${TMPDIR:-/tmp}/kavren-lab.$id.XXXXXX")
    inner_cleanup() {
        trap - EXIT INT TERM HUP
        end_ns_processes KILL
        # Every namespace of this lab, also those that tools/lab/sites.sh adds.
        local -a nodes=(/run/netns/"kvl${id}"*)
        remove_nodes "${nodes[@]##*/}"
        if [ "${KAVREN_LAB_KEEP:-0}" = 1 ]; then
            echo "lab.sh: kept $dir" >&2
        else
            rm -rf -- "$dir"
        fi
    }
    on_signal() {
        if [ -n "${child:-}" ]; then
            kill -"$1" "$child" 2>/dev/null
            # A shell running a foreground command acts on the signal only
            # after that command; give it a moment, then end the lab's
            # processes outright.
            local tries=0
            while kill -0 "$child" 2>/dev/null && [ $tries -lt 40 ]; do
                sleep 0.05
                tries=$((tries + 1))
            done
        fi
        end_ns_processes TERM
        end_ns_processes KILL
        wait 2>/dev/null || true
        inner_cleanup
        exit $((128 + $2))
    }
    trap inner_cleanup EXIT
    trap 'on_signal INT 2' INT
    trap 'on_signal TERM 15' TERM
    trap 'on_signal HUP 1' HUP

    build_lab "$id" "$segments" ""
    lab_env "$id" "$segments"
    export KAVREN_LAB_DIR=$dir
    "$@" 0<&0 &
    child=$!
    wait "$child" || status=$?
    child=
    exit "$status"
}

cmd_test() {
    local -a opts=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        opts+=("$1")
        shift
    done
    [ "${1-}" = -- ] && shift
    local a
    for a in "$@"; do
        # Listing test names sends nothing, and CTest lists at build time,
        # where no lab (nor privilege) is needed.
        if [ "$a" = --gtest_list_tests ]; then
            exec "$@"
        fi
    done
    cmd_run "${opts[@]}" -- "$@"
}

require_root() {
    [ "$(id -u)" -eq 0 ] || die "$1 needs root (an ordinary user can use 'lab.sh run')"
}

valid_id() {
    [[ "$1" =~ ^[A-Za-z0-9]{1,10}$ ]] || die "lab id must be 1-10 letters or digits: '$1'"
}

cmd_up() {
    require_root up
    local id=${1-} segments=1
    valid_id "$id"
    shift
    while [ $# -gt 0 ]; do
        case "$1" in
        --segments) segments=$(parse_segments "${2-}"); shift 2 ;;
        *) die "up: unknown option '$1'" ;;
        esac
    done
    [ ! -e "$STATE_ROOT/$id" ] || die "lab $id exists already"
    mkdir -p "$STATE_ROOT/$id"
    # The creator is the process that asked for the lab; cleanup removes the
    # lab once it has gone.
    echo "$PPID $(awk '{print $22}' "/proc/$PPID/stat")" >"$STATE_ROOT/$id/owner"
    echo "$segments" >"$STATE_ROOT/$id/segments"
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/kavren-lab.$id.XXXXXX")
    echo "$dir" >"$STATE_ROOT/$id/dir"
    ip netns add "kvl${id}h"
    if ! build_lab "$id" "$segments" "ip netns exec kvl${id}h"; then
        cmd_down "$id"
        die "could not build lab $id"
    fi
    echo "lab $id up: host kvl${id}h, nodes kvl${id}a$([ "$segments" = 2 ] && echo " kvl${id}b"), dir $dir"
}

cmd_down() {
    require_root down
    local id=${1-}
    valid_id "$id"
    remove_nodes "kvl${id}h" "kvl${id}a" "kvl${id}b"
    if [ -f "$STATE_ROOT/$id/dir" ] && [ "${KAVREN_LAB_KEEP:-0}" != 1 ]; then
        rm -rf -- "$(cat "$STATE_ROOT/$id/dir")"
    fi
    rm -rf -- "${STATE_ROOT:?}/$id"
}

cmd_exec() {
    local id=${1-} where=${2-}
    valid_id "$id"
    shift 2 || die "exec: ID and host|a|b expected"
    [ "${1-}" = -- ] && shift
    [ $# -gt 0 ] || die "exec: no command given after --"
    [ -d "$STATE_ROOT/$id" ] || die "no lab $id (start it with 'lab.sh up $id')"
    local ns
    case "$where" in
    host) ns="kvl${id}h" ;;
    a) ns="kvl${id}a" ;;
    b) ns="kvl${id}b" ;;
    *) die "exec: where is host, a or b, not '$where'" ;;
    esac
    [ -e "/run/netns/$ns" ] || die "lab $id has no namespace $ns"
    lab_env "$id" "$(cat "$STATE_ROOT/$id/segments")"
    KAVREN_LAB_DIR=$(cat "$STATE_ROOT/$id/dir")
    export KAVREN_LAB_DIR
    exec ip netns exec "$ns" "$@"
}

cmd_cleanup() {
    local state id pid start
    for state in "$STATE_ROOT"/*/; do
        [ -d "$state" ] || continue
        id=$(basename "$state")
        read -r pid start <"$state/owner" 2>/dev/null || pid=
        if [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] &&
            [ "$(awk '{print $22}' "/proc/$pid/stat")" = "$start" ]; then
            continue
        fi
        echo "lab.sh: removing stale lab $id"
        cmd_down "$id" || true
    done
    # Logs of throwaway labs whose script was killed before it could tidy up.
    local dir
    for dir in "${TMPDIR:-/tmp}"/kavren-lab.*; do
        [ -d "$dir" ] || continue
        id=${dir##*/kavren-lab.}
        id=${id%%.*}
        # Throwaway labs are named by the creator's PID in hex and four
        # random hex digits.
        [[ "$id" =~ ^[0-9a-f]{5,}$ ]] || continue
        [ -d "$STATE_ROOT/$id" ] && continue
        pid=$((16#${id:0:${#id}-4}))
        if ! kill -0 "$pid" 2>/dev/null; then
            rm -rf -- "$dir"
        fi
    done
}

# Tells whether the calling process is inside a lab namespace; exits 0 if so.
cmd_check() {
    local why=""
    [ "${KAVREN_LAB:-}" = 1 ] || why="KAVREN_LAB is not set"
    if [ -z "$why" ] && [ "$(netns_id)" = "$(readlink /proc/1/ns/net 2>/dev/null)" ]; then
        why="this is the machine's own network namespace"
    fi
    if [ -z "$why" ] && ! (assert_no_way_out) 2>/dev/null; then
        why="this namespace has a foreign interface or a route out"
    fi
    if [ -n "$why" ]; then
        echo "not isolated: $why" >&2
        return 1
    fi
    echo "isolated: $(netns_id)"
}

main() {
    local cmd=${1-}
    [ $# -gt 0 ] && shift
    case "$cmd" in
    run) cmd_run "$@" ;;
    test) cmd_test "$@" ;;
    __inner) cmd_inner "$@" ;;
    up) cmd_up "$@" ;;
    down) cmd_down "$@" ;;
    exec) cmd_exec "$@" ;;
    cleanup) cmd_cleanup ;;
    check) cmd_check ;;
    *) usage ;;
    esac
}

# tools/lab/sites.sh sources this file for its functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
fi

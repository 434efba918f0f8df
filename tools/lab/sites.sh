#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sites for the tests of many segments, added to a lab of "lab.sh run" whose
# host namespace plays the controller. Site i (1 to 9) is a site host with a
# link of its own to the controller and a device segment of its own behind
# it, built with lab.sh's own functions:
#
#   controller kvc<i>0 198.18.1<i>.1/24 -- kvc<i>1 198.18.1<i>.2/24 site host kvl<ID>s<i>
#   site host  kvd<i>0 198.19.1<i>.1/24 -- kvd<i>1 198.19.1<i>.2/24 devices   kvl<ID>d<i>
#   every address of 198.19.1<i>.128/25 is local in kvl<ID>d<i>, as on lab.sh's segments
#
#   sites.sh up N      builds sites 1..N
#   sites.sh down N    ends their processes and removes them (the lab does too)
set -euo pipefail
# shellcheck source=lab.sh
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/lab.sh"

count=${2-}
[[ "$count" =~ ^[1-9]$ ]] || die "sites.sh: give up|down and a number of sites from 1 to 9"
# Only ever inside a lab: the namespaces named here exist in its private
# mount table alone, and the controller has no way out.
cmd_check >/dev/null || die "sites.sh: not inside a lab of lab.sh run"
id=${KAVREN_LAB_ID:?}

case "${1-}" in
up)
    for i in $(seq "$count"); do
        ip netns add "kvl${id}s$i"
        ip netns add "kvl${id}d$i"
        prepare_node "kvl${id}s$i"
        prepare_node "kvl${id}d$i"
        build_segment "" "kvl${id}s$i" "c$i" "198.18.1$i" ""
        build_segment "ip netns exec kvl${id}s$i" "kvl${id}d$i" "d$i" "198.19.1$i" \
            "198.19.1$i.128/25"
        check_node "kvl${id}s$i"
        check_node "kvl${id}d$i"
    done
    assert_no_way_out
    ;;
down)
    nodes=()
    for i in $(seq "$count"); do nodes+=("kvl${id}s$i" "kvl${id}d$i"); done
    remove_nodes "${nodes[@]}"
    ;;
*) die "sites.sh: up or down, not '${1-}'" ;;
esac

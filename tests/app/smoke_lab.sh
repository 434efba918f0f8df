#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real executable offscreen inside the lab and checks that it comes
# up and opens its receiving port 62631, then ends it. Run by CTest through
# "lab.sh run"; refuses to start the utility anywhere else.
#
#   smoke_lab.sh EXE LAB_SH [LAUNCHER ARGS...]   e.g. wine64 for the Windows build
set -euo pipefail
exe=$1
lab_sh=$2
shift 2
launcher=("$@")
"$lab_sh" check >/dev/null || { echo "smoke: not inside the lab" >&2; exit 1; }
QT_QPA_PLATFORM=offscreen "${launcher[@]}" "$exe" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
# KAVREN_SMOKE_WAIT: seconds to wait for the port (Wine starts a program
# far slower than Linux does, more so on a loaded machine).
deadline=$((SECONDS + ${KAVREN_SMOKE_WAIT:-5}))
while [ "$SECONDS" -lt "$deadline" ]; do
    if ss -H -uln 'sport = :62631' | grep -q 62631; then
        kill -0 "$pid" || { echo "smoke: the utility ended early" >&2; exit 1; }
        echo "smoke: the utility is up and listening on 62631"
        exit 0
    fi
    kill -0 "$pid" 2>/dev/null || { echo "smoke: the utility ended early" >&2; exit 1; }
    sleep 0.1
done
echo "smoke: port 62631 was never opened" >&2
exit 1

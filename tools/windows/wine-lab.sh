#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command that starts Windows programs under Wine, inside the lab.
#
#   tools/lab/lab.sh run [--segments 2] -- tools/windows/wine-lab.sh COMMAND ARGS...
#
# Wine creates every socket of a Windows program in its wineserver process,
# not in the program's own process, so the datagrams go out in the network
# namespace of the wineserver. This script therefore starts the wineserver
# itself, here in the lab, checks that it runs in this namespace, and stops
# it at the end; it refuses to run outside the lab, and refuses when a
# wineserver for the prefix is already running somewhere else.
#
# WINEPREFIX defaults to build/windows/wineprefix (made on first use, about
# 8 s). COMMAND finds wine64 as $KAVREN_WINE.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

"$root/tools/lab/lab.sh" check >/dev/null ||
    {
        echo "wine-lab.sh: refusing to start Wine outside the lab" >&2
        exit 2
    }

export KAVREN_WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"

# A persistent server of our own, in the foreground of a background job so
# its process id is known. It exits at once when another server holds the
# prefix.
"$WINESERVER" -f -p &
server=$!
stop_server() {
    "$WINESERVER" -k 2>/dev/null || true
    wait "$server" 2>/dev/null || true
}
trap stop_server EXIT
sleep 0.3
if ! kill -0 "$server" 2>/dev/null; then
    echo "wine-lab.sh: a wineserver for $WINEPREFIX already runs elsewhere; stop it first" >&2
    exit 2
fi
server_ns=$(readlink "/proc/$server/ns/net")
if [ "$server_ns" != "$(readlink /proc/self/ns/net)" ] ||
    [ "$server_ns" = "${KAVREN_LAB_OUTER_NETNS:-}" ]; then
    echo "wine-lab.sh: the wineserver is not in the lab's namespace" >&2
    exit 2
fi
# The Windows side of the lab guard (tests/lab/labguard_win.cpp) looks for it.
export KAVREN_WINE_LAB_NETNS=$server_ns

# The first program of a fresh wineserver starts Wine's services (and makes
# the prefix on first use); do that once here, not inside the first test's
# time limit.
"$KAVREN_WINE" wineboot --init >/dev/null 2>&1 </dev/null || true

# Debian's Wine comes without Windows' interface fonts, as a Windows machine
# may come without Arial Narrow: the program then draws with the faces it
# carries. Earlier versions of this script mapped "MS Sans Serif", "Arial"
# and the narrow face to Liberation Sans in the prefix; such a mapping hides
# what the program does without them (and drew no capital I), so it is
# removed from prefixes that still have it. The file is imported again
# whenever it changes.
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"MS Sans Serif"=-' '"Microsoft Sans Serif"=-' '"Arial"=-' '"Arial Narrow"=-' \
    >"$WINEPREFIX/kavren-fonts.reg.new"
if ! cmp -s "$WINEPREFIX/kavren-fonts.reg.new" "$WINEPREFIX/kavren-fonts.reg"; then
    "$KAVREN_WINE" reg import "$WINEPREFIX/kavren-fonts.reg.new" >/dev/null 2>&1 </dev/null &&
        mv "$WINEPREFIX/kavren-fonts.reg.new" "$WINEPREFIX/kavren-fonts.reg"
fi
rm -f "$WINEPREFIX/kavren-fonts.reg.new"
"$@"

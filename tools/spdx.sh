#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Keeps a licence line at the top of every source file: "// SPDX-..." in C++
# and "# SPDX-..." in CMake, shell and Python (after a "#!" line).
#
#   tools/spdx.sh check           lists the tracked files without the line; exit 1 if any
#   tools/spdx.sh add [FILE...]   adds the line to the named files, or to every
#                                 tracked file that lacks it
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly ID="SPDX-License-Identifier: GPL-3.0-or-later"

# The comment leader for a file, or nothing for files that carry no line.
leader() {
    case "$1" in
    *.cpp | *.h) echo "//" ;;
    *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt) echo "#" ;;
    esac
}

has_line() { head -n 5 -- "$1" | grep -q 'SPDX-License-Identifier:'; }

lacking() {
    local f
    while IFS= read -r f; do
        [ -n "$(leader "$f")" ] && [ -f "$f" ] && ! has_line "$f" && echo "$f"
    done < <(git ls-files)
    return 0
}

add_to() {
    local f=$1 mark tmp
    mark=$(leader "$f")
    [ -n "$mark" ] || { echo "spdx.sh: no comment style known for $f" >&2; return 1; }
    has_line "$f" && return 0
    tmp=$(mktemp)
    if head -n 1 -- "$f" | grep -q '^#!'; then
        { head -n 1 -- "$f"; echo "$mark $ID"; tail -n +2 -- "$f"; } >"$tmp"
    else
        { echo "$mark $ID"; cat -- "$f"; } >"$tmp"
    fi
    # Keep the file's mode (scripts stay executable).
    cat "$tmp" >"$f"
    rm -f "$tmp"
    echo "spdx.sh: added to $f"
}

case "${1-}" in
check)
    missing=$(lacking)
    if [ -n "$missing" ]; then
        echo "spdx.sh: $(echo "$missing" | wc -l) file(s) without \"$ID\":"
        echo "$missing" | sed 's/^/  /'
        exit 1
    fi
    echo "spdx.sh: every source file has its licence line"
    ;;
add)
    shift
    if [ $# -eq 0 ]; then
        mapfile -t files < <(lacking)
        set -- "${files[@]}"
    fi
    for f in "$@"; do add_to "$f"; done
    ;;
*)
    sed -n '3,9p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
    ;;
esac

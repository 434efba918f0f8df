#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The test command's "package" stage: builds the .deb with tools/package.sh
# and checks it as a distribution would, then runs what it installs.
#
#   - its file list against tests/package/expected_files.txt, and its control
#     fields (Depends from dpkg-shlibdeps, section, maintainer);
#   - lintian (no error, no warning that is not overridden with a reason),
#     desktop-file-validate, appstreamcli validate --no-net;
#   - extracted into a temporary root: every library resolves, no binary
#     points back into the build folder, the man pages render, kavren
#     --version matches the package, the bash completion completes;
#   - inside the lab as an ordinary user (tests/package/user_lab.sh): both
#     programs against the emulator.
# Where dpkg-deb is missing (not a Debian system) it says so and skips.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
cd "$repo"

if ! command -v dpkg-deb >/dev/null; then
    echo "== package: SKIPPED: dpkg-deb is missing, so no .deb can be built or checked here"
    exit 0
fi
started=$(date +%s)
passes=0 failures=0
check() {  # check WHAT COMMAND...: runs COMMAND, counts a failure
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passes=$((passes + 1))
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

deb=$(tools/package.sh)
echo "== package: $deb ($(stat -c %s "$deb") bytes)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- contents and control fields ---------------------------------------------
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort >"$work/files"
check "file list as expected" diff -u <(sort "$here/expected_files.txt") "$work/files"
dpkg-deb -f "$deb" >"$work/control"
cat "$work/control"
version=$(dpkg-deb -f "$deb" Version)
check "Depends names Qt 6 and the C++ runtime" \
    grep -Eq '^Depends: .*libqt6widgets6.*libstdc\+\+6|^Depends: .*libstdc\+\+6.*libqt6widgets6' "$work/control"
check "Depends names the window's fonts" grep -Eq '^Depends: (.*, )?fonts-liberation(,|$)' "$work/control"
check "section net" grep -qx 'Section: net' "$work/control"
check "a maintainer" grep -Eq '^Maintainer: .+ <.+@.+>$' "$work/control"

# --- linters -------------------------------------------------------------------
echo "== package: lintian"
# Overridden tags are shown with their reasons ("O:" and "N:" lines); only
# errors and warnings that are not overridden fail.
# Status 1 means lintian itself failed.
status=0
lintian --display-info --show-overrides "$deb" >"$work/lintian" 2>&1 || status=$?
cat "$work/lintian"
check "lintian: no errors, no warnings without an override" \
    bash -c '[ "$1" != 1 ] && ! grep -Eq "^(E|W): " "$2"' _ "$status" "$work/lintian"
dpkg-deb -x "$deb" "$work/root"
chmod 0755 "$work" "$work/root"
check "desktop-file-validate" \
    desktop-file-validate "$work"/root/usr/share/applications/*.desktop
check "appstreamcli validate --no-net" \
    appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml

# --- the extracted tree ----------------------------------------------------------
bin=$work/root/usr/bin
no_missing_libraries() { ! ldd "$bin/kavren" "$bin/Kavren_Utility" | grep -q 'not found'; }
no_build_paths() {
    ! readelf -d "$bin/kavren" "$bin/Kavren_Utility" | grep -Eq 'RPATH|RUNPATH' &&
        ! grep -q "$repo/build" "$bin/kavren" "$bin/Kavren_Utility"
}
check "every library resolves" no_missing_libraries
check "no RPATH and no build folder in the binaries" no_build_paths
check "kavren --version is the package's version" \
    test "$("$bin/kavren" --version)" = "kavren ${version%-*}"
for page in kavren Kavren_Utility; do
    check "man page $page renders without warnings" \
        test -z "$(MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
done
completion=$work/root/usr/share/bash-completion/completions/kavren
completes() {
    local offered
    offered=$(cd "$work/plans" && "$here/complete.sh" "$completion" \
        "kavren di" "kavren discover --j" "kavren configure --plan ")
    [ "$offered" = "$(printf 'discover\n--json\nplan.csv')" ] || { echo "$offered"; return 1; }
}
# --adapter offers what the installed kavren lists, here the lab's adapter.
completes_adapters() {
    local offered
    offered=$(PATH=$bin:$PATH tools/lab/lab.sh run -- \
        "$here/complete.sh" "$completion" "kavren discover --adapter ")
    [ "$offered" = 198.18.0.1 ] || { echo "$offered"; return 1; }
}
mkdir -p "$work/plans"
touch "$work/plans/plan.csv" "$work/plans/notes.txt"
if [ -f /usr/share/bash-completion/bash_completion ]; then
    check "bash completion completes commands, options and plans" completes
    check "bash completion offers the adapters' addresses" completes_adapters
else
    echo "SKIPPED: bash completion (the bash-completion package is missing)"
fi

# --- as an ordinary user, inside the lab ----------------------------------------
echo "== package: the installed programs as an ordinary user, in the lab"
check "the installed programs work as an ordinary user" \
    tools/lab/lab.sh run -- "$here/user_lab.sh" "$work/root" "$work/window.png"

# Every source file should carry its licence line; a warning until the whole
# tree has been given one.
tools/spdx.sh check >"$work/spdx" || echo "warning: $(head -n 1 "$work/spdx")"

echo "== package: $(($(date +%s) - started)) s"
echo "package: $passes passed, $failures failed"
[ "$failures" = 0 ]

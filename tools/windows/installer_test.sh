#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer under Wine: built with makensis from the two executables,
# run silently into a Wine prefix of its own, checked (files, Start-menu
# entry, the entry in Windows' list of programs, the installed kavren.exe
# starts, the firewall rules for the reply port added), then uninstalled and
# checked gone, rules included.
#
#   tools/windows/wine-lab.sh tools/windows/installer_test.sh GUI_EXE CLI_EXE
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
gui_exe=${1:?usage: installer_test.sh GUI_EXE CLI_EXE}
cli_exe=${2:?usage: installer_test.sh GUI_EXE CLI_EXE}

fail() {
    echo "installer_test.sh: $*" >&2
    exit 1
}
[ -n "${KAVREN_WINE-}" ] || fail "run through tools/windows/wine-lab.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/dist"
# Stripped as shipped.
for exe in "$gui_exe" "$cli_exe"; do
    x86_64-w64-mingw32-strip -o "$work/dist/$(basename "$exe")" "$exe"
done
faces=$("$root/tools/windows/faces.sh")
cp "$root/README.md" "$root/LICENSE" "$faces/LiberationSansNarrow-Regular.ttf" "$faces/LICENSE-FONTS.txt" "$work/dist/"
version=$(sed -n 's/^project(Kavren_Utility VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# zlib: the same installer as shipped but for the compression, in a few
# seconds instead of half a minute.
makensis -V2 -DVERSION="$version" -DDIST="$work/dist" -DOUTFILE="$work/setup.exe" -DCOMPRESSOR=zlib \
    "$root/packaging/windows/kavren.nsi" >/dev/null

# The user's prefix stays as it is; this one is thrown away. Its own
# wineserver runs here in the lab like the caller's.
export WINEPREFIX=$work/prefix
"$KAVREN_WINE" wineboot --init >/dev/null 2>&1 </dev/null || true

# Wine's netsh accepts "advfirewall" and does nothing, so what the installer
# asks of the firewall is checked by its command lines: a stand-in netsh
# writes each one to a log, in place of Wine's own.
cat >"$work/netsh.c" <<'STUB'
#include <stdio.h>
#include <windows.h>
int main(void) {
    FILE* log = fopen("C:\\netsh-calls.log", "a");
    if (!log)
        return 1;
    fprintf(log, "%s\n", GetCommandLineA());
    fclose(log);
    return 0;
}
STUB
x86_64-w64-mingw32-gcc -O -o "$WINEPREFIX/drive_c/windows/system32/netsh.exe" "$work/netsh.c"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}netsh.exe=n"
netsh_log=$WINEPREFIX/drive_c/netsh-calls.log
# rule_call VERB NAME [PROGRAM]: the log holds that netsh call.
rule_call() {
    local line=" advfirewall firewall $1 rule name=\"$2\""
    [ "$1" = add ] && line+=" dir=in action=allow program=\"C:\\Program Files\\Kavren Utility\\$3\" protocol=UDP localport=62631 profile=private,domain"
    tr -d '\r' <"$netsh_log" | grep -qxF "\"C:\\windows\\system32\\netsh.exe\"$line"
}
"$KAVREN_WINE" "$work/setup.exe" /S </dev/null || fail "the installer failed"
installed="$WINEPREFIX/drive_c/Program Files/Kavren Utility"
for f in Kavren_Utility.exe kavren.exe README.md LICENSE LiberationSansNarrow-Regular.ttf LICENSE-FONTS.txt Uninstall.exe; do
    [ -f "$installed/$f" ] || fail "$f was not installed"
done
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kavren Utility.lnk"
[ -f "$link" ] || fail "no Start-menu entry"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavren_Utility'
"$KAVREN_WINE" reg query "$key" /v DisplayVersion </dev/null 2>/dev/null | tr -d '\r' |
    grep -q "REG_SZ *$version\$" || fail "not in the list of programs with version $version"
"$KAVREN_WINE" "$installed/kavren.exe" adapters </dev/null >/dev/null 2>&1 ||
    fail "the installed kavren.exe does not start"
[ -f "$netsh_log" ] || fail "the installer did not run netsh"
rule_call add "Kavren Utility replies (UDP 62631)" Kavren_Utility.exe ||
    fail "no firewall rule for Kavren_Utility.exe: $(cat "$netsh_log")"
rule_call add "kavren replies (UDP 62631)" kavren.exe ||
    fail "no firewall rule for kavren.exe: $(cat "$netsh_log")"
: >"$netsh_log"

# As from the list of programs: the uninstaller copies itself away, starts
# the copy and returns, so that it can delete its own file.
"$KAVREN_WINE" "$installed/Uninstall.exe" /S </dev/null || fail "the uninstaller failed"
for _ in $(seq 100); do
    [ -e "$installed" ] || break
    sleep 0.1
done
[ ! -e "$installed" ] || fail "files are left after uninstalling: $(ls "$installed")"
[ ! -e "$link" ] || fail "the Start-menu entry is left"
if "$KAVREN_WINE" reg query "$key" </dev/null >/dev/null 2>&1; then
    fail "the list of programs still names it"
fi
for rule in "Kavren Utility replies (UDP 62631)" "kavren replies (UDP 62631)"; do
    rule_call delete "$rule" || fail "the rule $rule is not removed: $(cat "$netsh_log")"
done
"$KAVREN_WINE" wineboot --end-session >/dev/null 2>&1 </dev/null || true
"${WINESERVER:-wineserver}" -k 2>/dev/null || true
echo "installer_test.sh: installed, checked (firewall rules too) and uninstalled under Wine"

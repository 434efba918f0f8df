#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the two Windows executables, single static files, and packs them
# with the README, the licence, the narrow face and the faces' licences into build/windows/Kavren_Utility-VERSION-win64.zip
# and an installer, build/windows/Kavren_Utility-VERSION-win64-setup.exe.
#
#   tools/windows/build.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

KAVREN_QT_WIN=$(tools/windows/build-qt.sh | tail -n1)
KAVREN_FACES=$(tools/windows/faces.sh | tail -n1)
export KAVREN_QT_WIN KAVREN_FACES
# Both front ends on explicitly: the test stage may have configured the tree without Qt.
cmake --preset windows -DKAVREN_BUILD_GUI=ON -DKAVREN_BUILD_CLI=ON >/dev/null
cmake --build --preset windows --target Kavren_Utility kavren -j "$(nproc 2>/dev/null || echo 2)"

out=build/windows/dist
rm -rf "$out"
mkdir -p "$out"
for name in Kavren_Utility kavren; do
  # Found by name, so the folders of the build tree may move.
  exe=$(find build/windows -path build/windows/dist -prune -o -path build/windows/wineprefix -prune \
    -o -type f -name "$name.exe" -print | head -n1)
  [ -n "$exe" ] || { echo "build.sh: $name.exe was not built" >&2; exit 1; }
  x86_64-w64-mingw32-strip -o "$out/$(basename "$exe")" "$exe"
  # Single files: nothing but Windows' own DLLs may be imported.
  if x86_64-w64-mingw32-objdump -p "$out/$(basename "$exe")" | grep 'DLL Name' |
    grep -Eiv 'DLL Name: (kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|iphlpapi|uxtheme|dwmapi|version|netapi32|userenv|shlwapi|shcore|setupapi|wtsapi32|d3d9|dxgi|d3d11|d2d1|dwrite|msvcrt|authz|mpr|comctl32|uuid|api-ms-win-[a-z0-9-]+)\.dll'; then
    echo "build.sh: $(basename "$exe") imports a DLL that Windows does not ship" >&2
    exit 1
  fi
done
version=$(sed -n 's/^project(Kavren_Utility VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cp README.md "$out/"
[ -f LICENSE ] && cp LICENSE "$out/"
# The narrow face, a file of its own beside the executable, and the licences
# of the faces the window carries.
cp "$KAVREN_FACES/LiberationSansNarrow-Regular.ttf" "$KAVREN_FACES/LICENSE-FONTS.txt" "$out/"
zip=build/windows/Kavren_Utility-$version-win64.zip
rm -f "$zip"
(cd "$out" && zip -q -9 "../$(basename "$zip")" ./*)

# The installer (Start-menu entry, uninstaller) needs Debian's nsis.
setup=build/windows/Kavren_Utility-$version-win64-setup.exe
if command -v makensis >/dev/null; then
  makensis -V2 -DVERSION="$version" -DDIST="$PWD/$out" -DOUTFILE="$PWD/$setup" \
    packaging/windows/kavren.nsi >/dev/null
else
  setup=
  echo "build.sh: no makensis (apt-get install nsis); installer not built" >&2
fi
ls -l "$out"/*.exe "$zip" $setup

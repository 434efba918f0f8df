#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The faces the Windows build embeds, taken from Debian's packages: Liberation
# Sans from fonts-liberation2 (under the SIL Open Font License) and Liberation
# Sans Narrow from fonts-liberation (the only package with the narrow face,
# under the Liberation Fonts licence), with LICENSE-FONTS.txt, the two
# licence texts that travel with them. The packages are unpacked into a
# cache folder, not installed: the machine's own fonts stay as they are.
#
#   tools/windows/faces.sh    prints the folder (fetched on first use)
#
# KAVREN_CACHE chooses the cache root as for tools/windows/build-qt.sh.
set -euo pipefail

# Pinned, so every build embeds the same faces.
sans=fonts-liberation2=2.1.5-1
narrow=fonts-liberation=1:1.07.4-11

cache_root=${KAVREN_CACHE:-/var/cache/kavren}
if ! mkdir -p "$cache_root" 2>/dev/null || [ ! -w "$cache_root" ]; then
    cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/kavren
    mkdir -p "$cache_root"
fi
folder=$cache_root/faces-$(printf '%s\n' "$sans" "$narrow" | sha256sum | cut -c1-10)
if [ -f "$folder/.complete" ]; then
    echo "$folder"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch() { (cd "$work" && apt-get -o APT::Sandbox::User=root download -qq "$sans" "$narrow" >&2); }
# A machine whose package lists are old or missing learns the versions first.
fetch || { apt-get update -qq >&2 && fetch; } || {
    echo "faces.sh: could not fetch $sans $narrow" >&2
    exit 1
}
for deb in "$work"/*.deb; do
    dpkg-deb -x "$deb" "$work/root"
done
rm -rf "$folder"
mkdir -p "$folder"
cp "$work/root/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf" \
    "$work/root/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Regular.ttf" "$folder/"
{
    echo "Kavren_Utility carries two faces, each under its own licence:"
    echo
    echo "- Liberation Sans (LiberationSans-Regular.ttf, Debian's ${sans/=/ }),"
    echo "  inside Kavren_Utility.exe: the SIL Open Font License 1.1, part 1 below."
    echo "- Liberation Sans Narrow (LiberationSansNarrow-Regular.ttf, Debian's ${narrow/=/ }),"
    echo "  the file of that name beside Kavren_Utility.exe, unaltered:"
    echo "  the Liberation Fonts licence, which grants the GNU General Public"
    echo "  License version 2 with a font exception, part 2 below; part 3 is that"
    echo "  licence."
    echo
    echo "== 1. Liberation Sans"
    echo
    cat "$work/root/usr/share/doc/fonts-liberation2/copyright"
    echo
    echo "== 2. Liberation Sans Narrow"
    echo
    cat "$work/root/usr/share/doc/fonts-liberation/copyright"
    echo
    echo "== 3. GNU General Public License version 2"
    echo
    cat /usr/share/common-licenses/GPL-2
} | sed 's/$/\r/' >"$folder/LICENSE-FONTS.txt"
touch "$folder/.complete"
echo "$folder"

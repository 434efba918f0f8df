#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that are not installed yet: without
# arguments every one that building, running and testing need; with
# arguments those named (the Windows scripts name their cross toolchain and
# Wine this way). Quiet and quick when everything is there already; what it
# says goes to standard error, so callers' own output stays clean.
#
#   tools/setup.sh                  the whole list below
#   tools/setup.sh PACKAGE...       those packages
set -euo pipefail

packages=("$@")
[ ${#packages[@]} -gt 0 ] || packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy valgrind
  python3 iproute2 procps ansible-core openssh-server
  ansible-lint yamllint pylint pycodestyle python3-pytest python3-voluptuous
  xvfb xauth x11-utils imagemagick fonts-liberation
  scdoc dpkg-dev lintian desktop-file-utils appstream bash-completion man-db
  prometheus prometheus-node-exporter
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
echo "setup: installing ${missing[*]}" >&2
$sudo apt-get update -qq >&2
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

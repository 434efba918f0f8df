#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds (the "default" CMake preset) and starts the utility on this
# machine's own network. To try it without devices, use tools/demo.sh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh"
cd "$root"
cmake --preset default >/dev/null
cmake --build build/default -j2 --target Kavren_Utility
exec build/default/app/Kavren_Utility "$@"

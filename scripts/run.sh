#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (Debian packages, release build) and starts Talvex in demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/deps.sh" run
(cd "$root" && cmake --preset release >/dev/null)
cmake --build "$root/build/release" -j"$(nproc)"

mkdir -p "$root/demo/Logs Source" "$root/demo/Logs Générés"
cd "$root/demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
Talvex is built ($root/build/release/src/app/talvex) but no display is available
(neither DISPLAY nor WAYLAND_DISPLAY is set), so its window cannot be shown.
Run it on a desktop session, or under a virtual display:
  cd "$root/demo" && xvfb-run -a "$root/build/release/src/app/talvex"
MSG
  exit 2
fi
exec "$root/build/release/src/app/talvex"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ file of the repository is not laid out as .clang-format says, listing each one.
# Changes nothing: `clang-format -i FILE` puts a listed file right.
# Usage: scripts/format-check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v clang-format >/dev/null 2>&1; then
  echo "clang-format not found: install clang-format (scripts/deps.sh test)" >&2
  exit 2
fi

# The files git tracks; outside a clone (an unpacked source archive), every one under the tree
# but the build folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else
  mapfile -d '' files < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
fi

drifted=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    drifted+=("$f")
  fi
done

if [ ${#drifted[@]} -ne 0 ]; then
  echo "Not formatted as .clang-format says (${#drifted[@]} of ${#files[@]} files):" >&2
  printf '  %s\n' "${drifted[@]}" >&2
  echo "Fix with: clang-format -i FILE..." >&2
  exit 1
fi
echo "Format check: ${#files[@]} files, all formatted"

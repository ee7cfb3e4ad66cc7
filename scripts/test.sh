#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (Debian packages, builds) and runs the whole test suite:
#   - the format check: every C++ file as .clang-format lays it out;
#   - a warnings-as-errors build and every test (preset test, build/test);
#   - the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer (preset asan,
#     build/asan; any report fails);
#   - the fuzz targets: their seed corpus replayed, then a bounded fuzzing run each.
# TALVEX_FUZZ_SECONDS sets the fuzzing time per target (default 60; 0 replays the corpus only).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

"$root/scripts/deps.sh" test

echo "== Format check"
"$root/scripts/format-check.sh"

# As root, permission bits would not apply and the read-only / unreadable cases would test
# nothing: drop the two capabilities that bypass them for the test runs.
asuser=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
  asuser=(setpriv --bounding-set=-dac_override,-dac_read_search --inh-caps=-dac_override,-dac_read_search)
fi
export QT_QPA_PLATFORM=offscreen

echo "== Build and test (warnings are errors)"
cmake --preset test >/dev/null
cmake --build "$root/build/test" -j"$jobs"
(cd "$root/build/test" && "${asuser[@]}" ctest --output-on-failure -j"$jobs" --timeout 600)

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build "$root/build/asan" -j"$jobs"
# The package check builds a .deb of a sanitizer build: it proves nothing more here. The paint check
# compares pixels on an X server, which the sanitizers do not make any truer, and the X keyboard
# library it loads reads past a buffer of its own under them.
(cd "$root/build/asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "${asuser[@]}" ctest --output-on-failure -j"$jobs" --timeout 900 -E '^(packaging_|tst_echopaint$)')

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "== Fuzzing"
  "${asuser[@]}" "$root/scripts/fuzz.sh" "${TALVEX_FUZZ_SECONDS:-60}"
fi

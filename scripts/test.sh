#!/usr/bin/env bash
# Sets everything up (Debian packages, builds) and runs the whole test suite:
#   1. a warnings-as-errors build and every test;
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails);
#   3. the fuzz targets: their seed corpus replayed, then a bounded fuzzing run each.
# TALVEX_FUZZ_SECONDS sets the fuzzing time per target (default 60; 0 replays the corpus only).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/deps.sh" test

# As root, permission bits would not apply and the read-only / unreadable cases would test
# nothing: drop the two capabilities that bypass them for the test runs.
asuser=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
  asuser=(setpriv --bounding-set=-dac_override,-dac_read_search --inh-caps=-dac_override,-dac_read_search)
fi
export QT_QPA_PLATFORM=offscreen

echo "== Build and test (warnings are errors)"
cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTALVEX_WERROR=ON -DTALVEX_BUILD_TESTS=ON -DTALVEX_BUILD_BENCH=ON >/dev/null
cmake --build "$root/build/test" -j2
(cd "$root/build/test" && "${asuser[@]}" ctest --output-on-failure -j2 --timeout 600)

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVEX_SANITIZE=ON \
      -DTALVEX_WERROR=ON -DTALVEX_BUILD_TESTS=ON -DTALVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/asan" -j2
# The package check builds a .deb of a sanitizer build: it proves nothing more here.
(cd "$root/build/asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "${asuser[@]}" ctest --output-on-failure -j2 --timeout 900 -E '^packaging_')

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "== Fuzzing"
  "${asuser[@]}" "$root/scripts/fuzz.sh" "${TALVEX_FUZZ_SECONDS:-60}"
fi

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (preset fuzz: build/fuzz, optimised with debug info) and runs each:
# a replay of its seed corpus, then a fuzzing session of the given length into a scratch copy of
# that corpus (the repository's corpus is never written to). Exits non-zero on any crash, time-out
# or sanitizer report; the input that caused it is kept in build/fuzz/artifacts/.
# Usage: scripts/fuzz.sh [seconds-per-target]   (default 60; about that plus 30 s per target;
#        0 replays the seed corpora only)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
seconds=${1:-60}
targets=(fuzz_profile fuzz_number fuzz_lines fuzz_timestamp fuzz_frames fuzz_listen fuzz_destination
         fuzz_options)

if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi
# clang and its fuzzer runtime come from the test dependencies (scripts/deps.sh test).
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: install clang and libclang-rt-14-dev (scripts/deps.sh test)" >&2
  exit 2
fi

(cd "$root" && cmake --preset fuzz >/dev/null)
cmake --build "$build" -j"$(nproc)" --target talvex_fuzz

# In memory when possible: the line target writes its input to a file on every run.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/artifacts"
mkdir -p "$artifacts"
# The targets' own scratch files go to the throwaway folder too, even after a crash.
export TMPDIR="$work"
export UBSAN_OPTIONS=print_stacktrace=1

# The value after `key` on the last line of the log that has it ("cov: 371" -> 371).
field() {
  { grep -E "$2" "$1" || true; } | tail -1 | sed -nE "s/.*$3:? +([0-9]+).*/\1/p"
}

failed=0
summary=()
for t in "${targets[@]}"; do
  bin="$build/fuzz/$t"
  corpus="$root/fuzz/corpus/$t"
  log="$work/$t.log"

  echo "== $t: replaying $(find "$corpus" -type f | wc -l) seed inputs" >&2
  if ! (cd "$work" && "$bin" "$corpus" -runs=0 -artifact_prefix="$artifacts/$t-") >"$log.replay" 2>&1; then
    tail -40 "$log.replay" >&2
    summary+=("$t: CRASH while replaying the seed corpus (see $artifacts)")
    failed=1
    continue
  fi

  replayed=$(field "$log.replay" '^Done [0-9]+ runs' 'Done')
  if [ "$seconds" -eq 0 ]; then
    summary+=("$t: seed corpus replayed (${replayed:-?} runs), crashes 0")
    continue
  fi

  echo "== $t: fuzzing for $seconds s" >&2
  cp -r "$corpus" "$work/corpus-$t"
  status=0
  (cd "$work" && "$bin" "$work/corpus-$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/$t-") >"$log" 2>&1 || status=$?

  runs=$(field "$log" 'stat::number_of_executed_units' 'number_of_executed_units')
  added=$(field "$log" 'stat::new_units_added' 'new_units_added')
  covStart=$(field "$log" 'INITED' 'cov')
  covEnd=$(field "$log" '^#[0-9]+' 'cov')
  crashes=0
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error:' "$log"; then
    crashes=1
    failed=1
    tail -60 "$log" >&2
  fi
  summary+=("$t: ${runs:-?} runs, ${added:-0} new inputs, coverage ${covStart:-?} -> ${covEnd:-?}, crashes $crashes")
done

echo
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "FAILED: reproduce with $build/fuzz/<target> <input> from $artifacts" >&2
  exit 1
fi

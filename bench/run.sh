#!/usr/bin/env bash
# Builds the benchmarks in Release (preset bench: build/bench/) and runs them all, printing one table.
# Takes about two minutes; the machine should be otherwise idle for meaningful pacing figures.
# Usage: bench/run.sh [pacing|waitcost|rate|scale|window-rate|window-memory|window-soak|send-rate|send-pacing ...]
# window-soak (not run by default) lasts TALVEX_SOAK_SECONDS, 600 unless set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
jobs=$(nproc)

(cd "$root" && cmake --preset bench >/dev/null)
cmake --build "$build" -j"$jobs" --target talvex_bench >/dev/null

# talvex-send is measured as a child process, as scripts run it.
send_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_send >/dev/null 2>&1; then
  send_bench="$build/bench/talvex_bench_send"
fi

# The window benchmarks need the window library; without it their rows say so.
window_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_window >/dev/null 2>&1; then
  window_bench="$build/bench/talvex_bench_window"
fi

selected=("$@")
[ ${#selected[@]} -eq 0 ] && selected=(pacing waitcost rate scale window-rate window-memory send-rate send-pacing)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
export XDG_RUNTIME_DIR="$work"
rows="$work/rows"
: >"$rows"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for what in "${selected[@]}"; do
  echo "running $what ..." >&2
  case "$what" in
    window-*)
      if [ -z "$window_bench" ]; then
        if [ "$what" = window-memory ]; then
          echo "ROW|scale, loop mode, real window|peak memory after 1000000 echoed lines|needs window|<= 300 MB|not run" >>"$rows"
        else
          echo "ROW|rate, UDP, echo to the real window|lines/s over 200000 lines|needs window|>= 20000|not run" >>"$rows"
        fi
      else
        (cd "$work" && "$window_bench" "${what#window-}" "${TALVEX_SOAK_SECONDS:-600}") | grep '^ROW|' >>"$rows" || true
      fi
      ;;
    send-*)
      if [ -z "$send_bench" ]; then
        echo "ROW|$what|talvex-send|not built|-|not run" >>"$rows"
      else
        (cd "$work" && "$send_bench" "${what#send-}") | grep '^ROW|' >>"$rows" || true
      fi
      ;;
    *)
      (cd "$work" && "$build/bench/talvex_bench" "$what") | grep '^ROW|' >>"$rows" || true
      ;;
  esac
done

echo
# Pacing figures depend on what else the machine runs: say how busy it was.
echo "Machine: $(nproc) cores; load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
awk -F'|' '
  { b[NR]=$2; m[NR]=$3; v[NR]=$4; t[NR]=$5; r[NR]=$6
    if (length($2)>wb) wb=length($2); if (length($3)>wm) wm=length($3)
    if (length($4)>wv) wv=length($4); if (length($5)>wt) wt=length($5) }
  END {
    if (wb<9) wb=9; if (wm<7) wm=7; if (wv<5) wv=5; if (wt<6) wt=6
    fmt="%-" wb "s  %-" wm "s  %-" wv "s  %-" wt "s  %s\n"
    printf fmt, "Benchmark", "Measure", "Value", "Target", "Result"
    line=""; for (i=0;i<wb+wm+wv+wt+16;i++) line=line "-"; print line
    for (i=1;i<=NR;i++) printf fmt, b[i], m[i], v[i], t[i], r[i]
  }' "$rows"

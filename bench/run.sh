#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks in Release (preset bench: build/bench/) and runs them, printing one table.
# The default selection takes about ten minutes; the machine should be otherwise idle for
# meaningful pacing figures.
# Usage: bench/run.sh [SELECTION ...]
#   pacing waitcost rate scale         the engine alone, with a stand-in window
#   window-rate window-memory          the real window in this process, offscreen
#   line-cost                          one copy as its own process, 10,000 lines at 10 ms in three
#                                      rounds, on an X server (xcb) and offscreen: processor time
#                                      per line (medians of the rounds), beside a bare Qt program
#                                      that waits and sends the same way and a clock_nanosleep sender
#   spacing                            500 lines at 10 ms at the receiver, beside a reference
#                                      clock_nanosleep sender
#   send-rate send-pacing              talvex-send as a child process: rate at --delay 0 beside a
#                                      bare sendto loop, and
#                                      its pacing beside the reference sender
#   replay                             talvex-send --pace recorded --speed 60 on the web access
#                                      sample (31 s), beside a reference on the same schedule
#   receive-udp receive-tcp            talvex-receive as a child process: its rate beside the rate
#                                      sent (talvex-send -d 0 over UDP; a plain writer of framed
#                                      bytes over TCP), with what was lost
#   transport-tcp transport-tls        talvex-send over TCP and TLS at --delay 0 to a counting
#   transport-relp transport-cpu       receiver (beside a bare C writer, 64 KiB a write), over RELP
#                                      to a librelp receiver (beside a bare librelp client), and
#                                      the processor time per line at 100 lines/s against UDP
# Not run by default, because they last minutes each (or "all" for every one but the soak):
#   copy-wait      one copy at a 1 s delay for 60 lines on the X server (1 min)
#   spacing-long   spacing as above, plus 60 lines at 1 s for both senders (2 min more)
#   copies         20 copies from one folder on one X server, 1 s for 60 s (1 to 2 min)
#   send-true-rate talvex-send --rate 1, 100, 10,000 and 100,000 lines/s (60 s, 60 s, 10 s, 10 s),
#                  with CPU per line beside the reference at 100 lines/s (2.5 min)
#   window-soak    lasts TALVEX_SOAK_SECONDS, 600 unless set
# The X server is $TALVEX_BENCH_DISPLAY when set, else an Xvfb started for the run.
# TALVEX_BENCH_BUILD names an already configured build folder to use instead of build/bench/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TALVEX_BENCH_BUILD:-$root/build/bench}"
jobs=$(nproc)

if [ -z "${TALVEX_BENCH_BUILD:-}" ]; then
  (cd "$root" && cmake --preset bench >/dev/null)
fi
cmake --build "$build" -j"$jobs" --target talvex_bench >/dev/null

# talvex-send is measured as a child process, as scripts run it.
send_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_send >/dev/null 2>&1; then
  send_bench="$build/bench/talvex_bench_send"
fi
receive_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_receive >/dev/null 2>&1; then
  receive_bench="$build/bench/talvex_bench_receive"
fi

replay_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_replay >/dev/null 2>&1; then
  replay_bench="$build/bench/talvex_bench_replay"
fi

# The transports' benchmark needs librelp and talvex-send.
transport_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_transport >/dev/null 2>&1; then
  transport_bench="$build/bench/talvex_bench_transport"
fi

# The window benchmarks need the window library; without it their rows say so.
window_bench=""
copies_bench=""
if cmake --build "$build" -j"$jobs" --target talvex_bench_window talvex_bench_copies >/dev/null 2>&1; then
  window_bench="$build/bench/talvex_bench_window"
  copies_bench="$build/bench/talvex_bench_copies"
fi

selected=("$@")
[ ${#selected[@]} -eq 0 ] && selected=(pacing waitcost rate scale window-rate window-memory line-cost spacing
                                         send-rate send-pacing replay receive-udp receive-tcp transport-tcp
                                         transport-tls transport-relp transport-cpu)
[ "${selected[*]}" = all ] && selected=(pacing waitcost rate scale window-rate window-memory line-cost spacing-long
                                        copy-wait copies send-rate send-pacing send-true-rate replay receive-udp
                                        receive-tcp transport-tcp transport-tls transport-relp transport-cpu)

work=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
export XDG_RUNTIME_DIR="$work"
rows="$work/rows"
: >"$rows"

# An X server for the copies that show their window on one, started here unless given.
xvfb_pid=""
x_display="${TALVEX_BENCH_DISPLAY:-}"
start_x() {
  [ -n "$x_display" ] && return 0
  command -v Xvfb >/dev/null || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  local number=""
  for _ in $(seq 100); do
    number=$(tr -dc 0-9 <"$work/display")
    [ -n "$number" ] && break
    sleep 0.1
  done
  [ -n "$number" ] && x_display=":$number"
  [ -n "$x_display" ]
}
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT

# Runs the copies benchmark on the X server (xcb) or offscreen: copies_on xcb|offscreen ARGS...
copies_on() {
  local platform=$1; shift
  if [ -z "$copies_bench" ]; then
    echo "ROW|$*|copies of the real window|needs window|-|not run" >>"$rows"
  elif [ "$platform" = xcb ] && ! start_x; then
    echo "ROW|$*|on an X server|no X server (Xvfb)|-|not run" >>"$rows"
  elif [ "$platform" = xcb ]; then
    (cd "$work" && DISPLAY="$x_display" QT_QPA_PLATFORM=xcb "$copies_bench" "$@") | grep '^ROW|' >>"$rows" || true
  else
    (cd "$work" && "$copies_bench" "$@") | grep '^ROW|' >>"$rows" || true
  fi
}

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
    replay)
      if [ -z "$replay_bench" ]; then
        echo "ROW|replay|talvex-send|not built|-|not run" >>"$rows"
      else
        (cd "$work" && "$replay_bench") | grep '^ROW|' >>"$rows" || true
      fi
      ;;
    receive-*)
      if [ -z "$receive_bench" ]; then
        echo "ROW|$what|talvex-receive|not built|-|not run" >>"$rows"
      else
        (cd "$work" && "$receive_bench" "${what#receive-}") | grep '^ROW|' >>"$rows" || true
      fi
      ;;
    transport-*)
      if [ -z "$transport_bench" ]; then
        echo "ROW|$what|talvex-send over streams|not built|-|not run" >>"$rows"
      else
        (cd "$work" && "$transport_bench" "${what#transport-}") | grep '^ROW|' >>"$rows" || true
      fi
      ;;
    line-cost)
      copies_on xcb linecost 10000 0.01
      copies_on offscreen linecost 10000 0.01
      ;;
    spacing) copies_on xcb spacing ;;
    spacing-long) copies_on xcb spacing long ;;
    copy-wait) copies_on xcb waitcost ;;
    copies) copies_on xcb copies 20 60 ;;
    *)
      (cd "$work" && "$build/bench/talvex_bench" "$what") | grep '^ROW|' >>"$rows" || true
      ;;
  esac
  # Pacing and processor figures depend on what else the machine runs: the load after each.
  echo "ROW|  (load average after $what)|1, 5, 15 min|$(cut -d' ' -f1-3 /proc/loadavg)|-|info" >>"$rows"
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

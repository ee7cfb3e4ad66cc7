#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the echo pane's paint check (tst_echopaint) on a real X server: an Xvfb of its own with the
# openbox window manager, once per scale factor. Without an X server the check fails: it never
# passes by not running.
# Usage: echo_paint.sh TST_ECHOPAINT
set -uo pipefail
test_exe=$1

for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "echo_paint: $tool is missing (scripts/deps.sh test installs it)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
number=""
for _ in $(seq 100); do
  number=$(tr -dc 0-9 <"$work/display")
  [ -n "$number" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$number" ]; then
  echo "echo_paint: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"

# openbox reads no configuration of the user's: a home of its own.
HOME="$work" XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
sleep 0.5
if ! kill -0 "$wm" 2>/dev/null; then
  echo "echo_paint: openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=xcb
status=0
for scale in 1 1.25 1.5 2; do
  echo "=== QT_SCALE_FACTOR=$scale"
  QT_SCALE_FACTOR=$scale XDG_RUNTIME_DIR="$work" "$test_exe" || status=1
done
exit $status

#!/usr/bin/env bash
# Runs a test program under its own Xvfb display with a window manager (openbox), so that
# windows get real frames. Usage: with_window_manager.sh <program> [arguments]
set -euo pipefail
dir=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

source "$(dirname "$0")/own_xvfb.sh"
start_own_xvfb

openbox --sm-disable >"$dir/openbox.log" 2>&1 &
wm=$!
# The manager is up once it names itself on the root window.
up=""
for _ in $(seq 600); do
  kill -0 "$wm" 2>/dev/null || break
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then up=1; break; fi
  sleep 0.05
done
if [ -z "$up" ]; then
  echo "openbox did not come up on $DISPLAY" >&2
  cat "$dir/openbox.log" >&2
  exit 1
fi
QT_QPA_PLATFORM=xcb ORBIQ_TEST_WINDOW_FRAMES=1 "$@"

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
mkfifo "$dir/display"
# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
read -r number <"$dir/display"
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# The manager is up once it names itself on the root window.
up=""
for _ in $(seq 600); do
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then up=1; break; fi
  sleep 0.05
done
if [ -z "$up" ]; then echo "openbox did not come up on $DISPLAY" >&2; exit 1; fi
QT_QPA_PLATFORM=xcb ORBIQ_TEST_WINDOW_FRAMES=1 "$@"

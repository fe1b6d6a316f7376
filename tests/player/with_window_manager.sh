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

# A display nobody holds: no lock file and no socket, the abstract one included (a server
# of another file-system namespace may hold that one alone).
display=""
for _ in $(seq 50); do
  n=$(( 100 + RANDOM % 800 ))
  [ -e "/tmp/.X$n-lock" ] && continue
  grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix && continue
  # -noreset: the check below is the first client, and a reset when it leaves would refuse the next.
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do
    kill -0 "$xvfb" 2>/dev/null || break
    # Ours once its lock names it (another run may have taken the same number).
    if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$xvfb" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
      display=":$n"
      break
    fi
    sleep 0.05
  done
  [ -n "$display" ] && break
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
if [ -z "$display" ]; then echo "no Xvfb display" >&2; exit 1; fi
export DISPLAY=$display

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

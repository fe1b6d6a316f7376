#!/usr/bin/env bash
# Shows UpdateWindow against the local stand-in under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> [output png] [bar position]
set -euo pipefail
build=${1:?build directory}
out=${2:-update_window.png}
position=${3:-45}

display=:55
while [ -e "/tmp/.X${display#:}-lock" ]; do display=":$(( ${display#:} + 1 ))"; done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/update/update_window_show" 4 "$position" &
show=$!
sleep 2.5
DISPLAY=$display import -window root "$out"
wait $show
echo "$out"

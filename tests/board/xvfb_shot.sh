#!/usr/bin/env bash
# Shows MessageBoardWindow under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> [output png] [name, "" for the login panel]
set -euo pipefail
build=${1:?build directory}
out=${2:-board_window.png}
name=${3-张三}

display=:71
while [ -e "/tmp/.X${display#:}-lock" ]; do display=":$(( ${display#:} + 1 ))"; done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/board/board_window_show" 5 "$name" &
show=$!
sleep 3
DISPLAY=$display import -window root "$out"
wait $show
echo "$out"

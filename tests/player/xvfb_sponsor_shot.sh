#!/usr/bin/env bash
# Shows SponsorWindow with the local site's adverts under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_sponsor_shot.sh <build dir> [output png]
set -euo pipefail
build=${1:?build directory}
out=${2:-sponsor_window.png}

display=:71
while [ -e "/tmp/.X${display#:}-lock" ]; do display=":$(( ${display#:} + 1 ))"; done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/player/sponsor_window_show" 8 &
show=$!
sleep 5
DISPLAY=$display import -window root "$out"
wait $show
echo "$out"

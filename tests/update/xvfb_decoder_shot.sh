#!/usr/bin/env bash
# Shows DecoderDownloadWindow against a trickling local server under Xvfb and saves a
# screenshot. Not run by ctest. Usage: xvfb_decoder_shot.sh <build dir> [output png] [KiB/s] [delay s]
set -euo pipefail
build=${1:?build directory}
out=${2:-decoder_window.png}
speed=${3:-300}
delay=${4:-3}

display=:60
while [ -e "/tmp/.X${display#:}-lock" ]; do display=":$(( ${display#:} + 1 ))"; done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/update/decoder_window_show" $(( delay + 2 )) "$speed" &
show=$!
sleep "$delay"
DISPLAY=$display import -window root "$out"
wait $show
echo "$out"

#!/usr/bin/env bash
# Shows DecoderDownloadWindow against a trickling local server under Xvfb and saves a
# screenshot. Not run by ctest. Usage: xvfb_decoder_shot.sh <build dir> [output png] [KiB/s] [delay s]
set -euo pipefail
build=${1:?build directory}
out=${2:-decoder_window.png}
speed=${3:-300}
delay=${4:-3}

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 1280x800x24

QT_QPA_PLATFORM=xcb "$build/tests/update/decoder_window_show" $(( delay + 2 )) "$speed" &
show=$!
sleep "$delay"
import -window root "$out"
wait $show
echo "$out"

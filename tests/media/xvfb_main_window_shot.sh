#!/usr/bin/env bash
# Plays the stand-in's 16:9 colour-bar channel in the program's main window under Xvfb and
# saves a screenshot. Not run by ctest. Usage: xvfb_main_window_shot.sh <build dir> [output png] [channel]
set -euo pipefail
build=${1:?build directory}
out=${2:-main_window_video.png}
channel=${3:-彩条频道}

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

QT_QPA_PLATFORM=xcb "$build/tests/media/main_window_show" "$channel" 10 &
show=$!
sleep 8
import -window root "$out"
wait $show
echo "$out"

#!/usr/bin/env bash
# Shows MessageBoardWindow under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> [output png] [name, "" for the login panel]
set -euo pipefail
build=${1:?build directory}
out=${2:-board_window.png}
name=${3-张三}

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

QT_QPA_PLATFORM=xcb "$build/tests/board/board_window_show" 5 "$name" &
show=$!
sleep 3
import -window root "$out"
wait $show
echo "$out"

#!/usr/bin/env bash
# Shows UpdateWindow against the local stand-in under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> [output png] [bar position]
set -euo pipefail
build=${1:?build directory}
out=${2:-update_window.png}
position=${3:-45}

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

QT_QPA_PLATFORM=xcb "$build/tests/update/update_window_show" 4 "$position" &
show=$!
sleep 2.5
import -window root "$out"
wait $show
echo "$out"

#!/usr/bin/env bash
# Shows SponsorWindow with the local site's adverts under Xvfb and saves a screenshot.
# Not run by ctest. Usage: xvfb_sponsor_shot.sh <build dir> [output png]
set -euo pipefail
build=${1:?build directory}
out=${2:-sponsor_window.png}

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

QT_QPA_PLATFORM=xcb "$build/tests/player/sponsor_window_show" 8 &
show=$!
sleep 5
import -window root "$out"
wait $show
echo "$out"

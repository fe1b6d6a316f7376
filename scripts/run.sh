#!/usr/bin/env bash
# Installs what is needed, builds, starts the local site stand-in and the player
# (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target orbiq orbiq-site
build/site/orbiq-site &
site=$!
trap 'kill $site 2>/dev/null || true' EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $site $xvfb 2>/dev/null || true' EXIT
  sleep 1
  echo "No display: the player runs under Xvfb on $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi
build/player/orbiq

#!/usr/bin/env bash
# Installs what is needed, builds, starts the local site stand-in and the player
# (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target orbiq orbiq-site
sitelog=$(mktemp)
build/site/orbiq-site >"$sitelog" 2>&1 &
site=$!
trap 'kill $site 2>/dev/null || true; rm -f "$sitelog"' EXIT
# The player knows only the site's compiled-in ports: start it only once the site holds them all.
for _ in $(seq 100); do
  grep -q '^orbiq-site: site' "$sitelog" && break
  if ! kill -0 $site 2>/dev/null; then
    cat "$sitelog" >&2
    echo "run.sh: the local site did not start (another program holds one of its ports?); the player was not started" >&2
    exit 1
  fi
  sleep 0.1
done
grep -q '^orbiq-site: site' "$sitelog" || { echo "run.sh: the local site did not answer in 10 s" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $site $xvfb 2>/dev/null || true; rm -f "$sitelog"' EXIT
  sleep 1
  echo "No display: the player runs under Xvfb on $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi
build/player/orbiq

#!/usr/bin/env bash
# Plays a generated test clip in a window and full screen under Xvfb and saves screenshots.
# Not run by ctest. Usage: xvfb_shot.sh <build dir> [output dir]
set -euo pipefail
build=${1:?build directory}
out=${2:-$(mktemp -d)}
show="$build/tests/media/media_show"
mkdir -p "$out"

source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb

# Four seconds of test pattern (its counter changes every second) with a tone, in 4:3 and
# 16:9: the picture keeps its shape, with black bars, in the window and full screen.
for shape in 4x3:320x240 16x9:384x216; do
  name=${shape%%:*}
  ffmpeg -loglevel error -y -f lavfi -i testsrc=size=${shape#*:}:rate=25:duration=4 \
    -f lavfi -i sine=frequency=440:duration=4 -pix_fmt yuv420p -c:v libx264 -c:a aac -shortest "$out/clip-$name.mp4"
done

# The window case also gets a shot taken by the X server's side (ImageMagick), mid-run.
"$show" "$out/clip-4x3.mp4" "$out/window" &
show_pid=$!
sleep 1.8
import -window root "$out/import.png"
wait $show_pid
echo "import: $out/import.png"
"$show" "$out/clip-4x3.mp4" "$out/fullscreen" fullscreen
"$show" "$out/clip-16x9.mp4" "$out/window-16x9"
"$show" "$out/clip-16x9.mp4" "$out/fullscreen-16x9" fullscreen

for shot in window fullscreen window-16x9 fullscreen-16x9; do
  # Pixels that differ between the two shots: more than none means the video moves.
  diff=$(compare -metric AE "$out/$shot-1.png" "$out/$shot-2.png" null: 2>&1 || true)
  echo "$shot: $out/$shot-1.png $out/$shot-2.png, differing pixels: $diff"
done
